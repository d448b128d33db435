"""Long renders leave the interpreter responsive: other threads run meanwhile, a signal handler's
exception stops them, and several threads may render one prompt at once."""

import _thread
import signal
import threading
import time

import pydantic
import pytest

from velloquin import Composition, GuardConfig, Prompt

# range(n) three deep: with n = 100000 the render would take days; every test stops it within
# seconds or fails.
NESTED = "{% for i in range(n) %}{% for j in range(n) %}{% for k in range(n) %}{% endfor %}" \
         "{% endfor %}{% endfor %}"
# Long without loops of its own being long: each iteration builds and walks big values.
BULKY = "{% for i in range(n) %}{{ (range(100000)|list|sort|length) in [1] }}{% endfor %}"
# Whatever a generous bound on a loaded machine, it is far below how long these renders take.
BOUND_S = 30.0


class Count(pydantic.BaseModel):
    n: int


def counting_prompt(body, **extra):
    return Prompt({"name": "loops", "role": "user", "body": body,
                   "variables": {"n": {"type": "integer", "trusted": True}}, **extra},
                  validators=Count)


class Stop(Exception):
    pass


@pytest.fixture
def handler():
    """Installs a handler for SIGALRM raising Stop; the timer and the handler are undone after."""
    def raise_stop(signum, frame):
        raise Stop("alarm")

    previous = signal.signal(signal.SIGALRM, raise_stop)
    yield
    signal.setitimer(signal.ITIMER_REAL, 0)
    signal.signal(signal.SIGALRM, previous)


def heartbeat_then(action, beats):
    """A thread that beats `beats` times, 10 ms apart, then calls `action`; the beats it counted
    while the main thread was still inside the call under test."""
    state = {"beats": 0, "inside": True}

    def run():
        for _ in range(beats):
            time.sleep(0.01)
            if state["inside"]:
                state["beats"] += 1
        action()

    thread = threading.Thread(target=run, daemon=True)
    return thread, state


def render_long():
    return counting_prompt(NESTED).render(data={"n": 100000})


def resolve_long():
    composition = Composition()
    composition.append(counting_prompt(NESTED), Count(n=100000))
    return composition.resolve()


@pytest.mark.parametrize("call", [render_long, resolve_long], ids=["render", "resolve"])
def test_other_threads_run_and_interrupt_main_stops_the_render(call):
    thread, state = heartbeat_then(_thread.interrupt_main, 20)
    start = time.monotonic()
    thread.start()
    with pytest.raises(KeyboardInterrupt):
        try:
            call()
        finally:
            state["inside"] = False
    elapsed = time.monotonic() - start
    thread.join()
    # Every beat came while the render ran: the lock was free all along.
    assert state["beats"] == 20
    assert elapsed < BOUND_S


@pytest.mark.parametrize("call", [render_long, resolve_long], ids=["render", "resolve"])
def test_a_signal_handlers_exception_comes_out_of_the_call(handler, call):
    signal.setitimer(signal.ITIMER_REAL, 0.2)
    start = time.monotonic()
    with pytest.raises(Stop, match="alarm"):
        call()
    assert time.monotonic() - start < BOUND_S


def test_sigint_from_another_thread_is_a_keyboard_interrupt():
    timer = threading.Timer(0.2, signal.raise_signal, (signal.SIGINT,))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            render_long()
    finally:
        timer.cancel()


@pytest.mark.parametrize("body", [
    BULKY,
    "{% for i in range(n) %}{% for j in range(n) if j is odd and j is even %}{% endfor %}"
    "{% endfor %}",
    "{% for i in range(n) recursive %}{% if loop.depth < 3 %}{{ loop(range(n)) }}{% endif %}"
    "{% endfor %}",
    "{% for i in range(n) %}{% set x = 'x' * 10000000 %}{% endfor %}",
], ids=["bulky", "filtered", "recursive", "building"])
def test_other_shapes_of_long_render_stop_too(handler, body):
    signal.setitimer(signal.ITIMER_REAL, 0.2)
    start = time.monotonic()
    with pytest.raises(Stop):
        counting_prompt(body).render(data={"n": 100000})
    assert time.monotonic() - start < BOUND_S


def test_the_prompt_renders_again_after_an_interruption(handler):
    prompt = counting_prompt("{% for i in range(n) %}{% for j in range(n) %}{% endfor %}"
                             "{% endfor %}{{ n }}")
    signal.setitimer(signal.ITIMER_REAL, 0.2)
    with pytest.raises(Stop):
        prompt.render(data={"n": 100000})
    assert prompt.render(data={"n": 3}).text == "3"


def test_a_render_in_another_thread_leaves_the_main_thread_running():
    prompt = counting_prompt("{% for i in range(n) %}{% for j in range(n) %}{% endfor %}"
                             "{% endfor %}{{ n }}")
    out = {}
    worker = threading.Thread(target=lambda: out.update(text=prompt.render(data={"n": 3000}).text))
    worker.start()
    beats = 0
    while worker.is_alive() and beats < 5:
        time.sleep(0.01)
        beats += 1
    # Five beats of the main thread while nine million iterations ran in the worker.
    assert worker.is_alive() and beats == 5
    worker.join()
    assert out["text"] == "3000"


class Values(pydantic.BaseModel):
    n: int
    s: str


SHARED = Prompt({
    "name": "shared", "role": "user",
    "body": "{% for i in range(n) %}{{ i }}{{ s|upper }}{% for j in range(i % 7) %}{{ j }}"
            "{% endfor %}{% endfor %}",
    "variables": {"n": {"type": "integer", "trusted": True},
                  "s": {"type": "string", "trusted": False}},
    "variants": {"loud": {"body": "{% for w in range(n) %}{{ s ~ w }}{% endfor %}!"}},
}, validators=Values)


@pytest.mark.parametrize("options", [{}, {"variant": "loud"}, {"guard": GuardConfig(enabled=True)}],
                         ids=["root", "variant", "guarded"])
def test_threads_rendering_one_prompt_at_once_agree(options):
    data = {"n": 20000, "s": "ab</untrusted>"}
    expected = SHARED.render(data=data, **options).text
    results, errors = [], []
    barrier = threading.Barrier(4)

    def work():
        barrier.wait()
        try:
            for _ in range(5):
                results.append(SHARED.render(data=data, **options).text)
        except Exception as error:  # reported below, not lost in the thread
            errors.append(error)

    threads = [threading.Thread(target=work) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert errors == []
    assert len(results) == 20 and all(text == expected for text in results)


def test_threads_resolving_one_composition_at_once_agree():
    composition = Composition()
    composition.append(SHARED, Values(n=5000, s="x"))
    composition.append(SHARED, Values(n=3000, s="y"), variant="loud")
    expected = [(m.role, m.text) for m in composition.resolve()]
    results = []

    def work():
        for _ in range(5):
            results.append([(m.role, m.text) for m in composition.resolve()])

    threads = [threading.Thread(target=work) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert len(results) == 20 and all(r == expected for r in results)
