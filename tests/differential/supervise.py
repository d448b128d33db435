"""Runs a case renderer as a child process, one case at a time, surviving its crashes and hangs.

The child reads JSONL cases on stdin and answers each with exactly one JSON line on stdout
(flushed). A case that makes the child die is recorded as {"kind": "crash"}, one that takes
longer than the timeout as {"kind": "timeout"}; either way the child is restarted for the rest.
Address space is capped so that a runaway allocation fails in the child instead of starving the
machine.
"""

import json
import resource
import select
import subprocess
import sys

DEFAULT_MEMORY_LIMIT_GB = 4.0


def memory_limiter(limit_gb):
    """A preexec function capping the child's address space; none for a limit of 0 (sanitizer
    builds reserve far more address space than they use)."""
    if not limit_gb:
        return None
    limit = int(limit_gb * 1024**3)
    return lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


class Child:
    def __init__(self, command, memory_limit_gb=DEFAULT_MEMORY_LIMIT_GB):
        self.command = command
        self.preexec = memory_limiter(memory_limit_gb)
        self.proc = None

    def start(self):
        self.proc = subprocess.Popen(self.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     preexec_fn=self.preexec)

    def stop(self):
        if self.proc is not None:
            self.proc.kill()
            self.discard()

    def discard(self):
        """Reaps the child and closes its pipes; returns its exit status."""
        code = self.proc.wait()
        for pipe in (self.proc.stdin, self.proc.stdout):
            try:
                pipe.close()
            except BrokenPipeError:
                pass
        self.proc = None
        return code

    def ask(self, line, timeout):
        """The child's answer to one case line, or None with the reason it gave none."""
        if self.proc is None:
            self.start()
        try:
            self.proc.stdin.write(line.encode() + b"\n")
            self.proc.stdin.flush()
        except BrokenPipeError:
            return None, self.failure()
        ready, _, _ = select.select([self.proc.stdout], [], [], timeout)
        if not ready:
            self.stop()
            return None, {"kind": "timeout", "detail": f"no answer within {timeout} s"}
        answer = self.proc.stdout.readline()
        if not answer:
            return None, self.failure()
        return json.loads(answer), None

    def failure(self):
        code = self.discard()
        return {"kind": "crash", "detail": f"renderer exited with status {code}"}


def run(command, cases_path, out, timeout, memory_limit_gb=DEFAULT_MEMORY_LIMIT_GB):
    child = Child(command, memory_limit_gb)
    try:
        with open(cases_path, encoding="utf-8") as cases:
            for line in cases:
                line = line.strip()
                if not line:
                    continue
                case_id = json.loads(line)["id"]
                answer, failure = child.ask(line, timeout)
                if answer is not None and answer.get("id") != case_id:
                    failure = {"kind": "harness", "detail": f"answer for {answer.get('id')!r}"}
                    answer = None
                    child.stop()
                if answer is None:
                    answer = {"id": case_id, "error": failure}
                out.write(json.dumps(answer, ensure_ascii=False) + "\n")
    finally:
        child.stop()


def main():
    import argparse

    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     usage="%(prog)s CASES [-o OUT] [--timeout S] -- COMMAND...")
    parser.add_argument("cases", help="JSONL file of cases")
    parser.add_argument("-o", "--output", help="result file (default: stdout)")
    parser.add_argument("--timeout", type=float, default=10.0, help="seconds per case")
    parser.add_argument("--memory-limit", type=float, default=DEFAULT_MEMORY_LIMIT_GB,
                        help="address-space cap of the renderer in GiB, 0 for none")
    argv = sys.argv[1:]
    if "--" not in argv:
        parser.error("no renderer command given after --")
    split = argv.index("--")
    args, command = parser.parse_args(argv[:split]), argv[split + 1:]
    if not command:
        parser.error("no renderer command given after --")
    out = open(args.output, "w", encoding="utf-8") if args.output else sys.stdout
    with out:
        run(command, args.cases, out, args.timeout, args.memory_limit)


if __name__ == "__main__":
    main()
