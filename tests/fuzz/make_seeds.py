#!/usr/bin/env python3
"""Writes seed corpora for the fuzz targets from the C++ tests, the examples and the engine's
conformance corpus: one file per seed, named by its digest, in OUT/<target>/.

String literals are pulled out of tests/cpp (adjacent literals joined, escapes decoded) and
sorted by what they look like; every JSON definition also seeds the YAML target (JSON is YAML)
and, written out as TOML, the TOML target.
"""
import argparse
import hashlib
import json
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parents[2]
CONFORMANCE = ROOT / "tests" / "jinja_conformance" / "cases.jsonl"
GUARD_TEMPLATES = 31  # the guard target picks its template with the first byte, or reads one

SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0", "\\": "\\", '"': '"', "'": "'",
                  "a": "\a", "b": "\b", "f": "\f", "v": "\v", "?": "?"}


def decode_escapes(body):
    out, i = [], 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        e = body[i + 1]
        if e == "x":
            m = re.match(r"[0-9a-fA-F]+", body[i + 2:])
            out.append(chr(int(m.group(0), 16)))
            i += 2 + len(m.group(0))
        elif e in "uU":
            n = 4 if e == "u" else 8
            out.append(chr(int(body[i + 2:i + 2 + n], 16)))
            i += 2 + n
        elif e in "01234567" and re.match(r"[0-7]{2,3}", body[i + 1:]):
            m = re.match(r"[0-7]{1,3}", body[i + 1:])
            out.append(chr(int(m.group(0), 8)))
            i += 1 + len(m.group(0))
        else:
            out.append(SIMPLE_ESCAPES.get(e, e))
            i += 2
    return "".join(out)


def cpp_literals(source):
    """Yields each string literal of a C++ source, adjacent literals joined."""
    token = re.compile(r'//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(|"((?:[^"\\\n]|\\.)*)"|'
                       r"'(?:[^'\\\n]|\\.)*'|\S", re.S)
    pending, pos = None, 0
    while True:
        m = token.search(source, pos)
        if not m:
            break
        text = m.group(0)
        piece = None
        if text.startswith('R"'):
            delim = m.group(1)
            end = source.index(")" + delim + '"', m.end())
            piece, pos = source[m.end():end], end + len(delim) + 2
        elif text.startswith('"'):
            piece, pos = decode_escapes(m.group(2)), m.end()
        else:
            pos = m.end()
            if text.startswith(("//", "/*")):
                continue  # a comment between two literals does not part them
        if piece is not None:
            pending = piece if pending is None else pending + piece
        else:
            if pending is not None:
                yield pending
            pending = None
    if pending is not None:
        yield pending


def toml_key(key):
    return key if re.fullmatch(r"[A-Za-z0-9_-]+", key) else json.dumps(key)


def toml_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if value is None:
        return None
    if isinstance(value, (int, float)):
        return json.dumps(value)
    if isinstance(value, str):
        return json.dumps(value)
    if isinstance(value, list):
        items = [toml_value(v) for v in value]
        return "[" + ", ".join(i for i in items if i is not None) + "]"
    entries = [(toml_key(k), toml_value(v)) for k, v in value.items()]
    return "{" + ", ".join(f"{k} = {v}" for k, v in entries if v is not None) + "}"


def to_toml(definition):
    """A JSON definition as TOML: scalars first, then each table as a section."""
    lines, tables = [], []
    for key, value in definition.items():
        if isinstance(value, dict):
            tables.append((key, value))
        elif toml_value(value) is not None:
            lines.append(f"{toml_key(key)} = {toml_value(value)}")
    for key, value in tables:
        lines.append(f"\n[{toml_key(key)}]")
        for k, v in value.items():
            if toml_value(v) is not None:
                lines.append(f"{toml_key(k)} = {toml_value(v)}")
    return "\n".join(lines) + "\n"


def looks_like_json_definition(text):
    t = text.lstrip()
    return t.startswith(("{", "[")) and '"' in t


def looks_like_yaml(text):
    return re.search(r"^\s*(body|name|role|variables|variants|metadata|trusted|type)\s*:", text,
                     re.M) is not None


def looks_like_toml(text):
    return re.search(r"^\s*(body|name|role|trusted|type)\s*=|^\s*\[(variables|variants|metadata)",
                     text, re.M) is not None


def looks_like_template(text):
    return any(d in text for d in ("{{", "{%", "{#"))


GUARD_VALUES = ['"plain"', '"<untrusted>a</untrusted>"', '"&lt;/untrusted&gt;"', '{"a": "</untrusted>"}',
                '[1, "&", null, true, 2.5]', '"}}{{ x }}"', '{"k": {"k": ["<", ">"]}}',
                "not json <untrusted>", "\"\\u003c/untrusted\\u003e\""]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("out", type=pathlib.Path)
    args = parser.parse_args()
    seeds = {name: set() for name in ("json_text", "yaml", "toml", "engine", "guard")}

    literals = []
    for path in sorted((ROOT / "tests" / "cpp").rglob("*.cpp")):
        literals.extend(cpp_literals(path.read_text(encoding="utf-8")))
    definitions = [p.read_text(encoding="utf-8") for p in sorted((ROOT / "examples").glob("*.json"))]
    for text in literals:
        if looks_like_json_definition(text):
            definitions.append(text)
        if looks_like_yaml(text):
            seeds["yaml"].add(text)
        if looks_like_toml(text):
            seeds["toml"].add(text)
        if looks_like_template(text):
            seeds["engine"].add(text)
    for text in definitions:
        seeds["json_text"].add(text)
        seeds["yaml"].add(text)
        try:
            parsed = json.loads(text)
        except ValueError:
            continue
        if isinstance(parsed, dict):
            seeds["toml"].add(to_toml(parsed))
            for key in ("body",):
                if isinstance(parsed.get(key), str):
                    seeds["engine"].add(parsed[key])
    for line in CONFORMANCE.read_text(encoding="utf-8").splitlines():
        case = json.loads(line)
        seeds["engine"].add(case["template"] + "\0" + json.dumps(case.get("context", {})))
    for index in range(GUARD_TEMPLATES):
        for value in GUARD_VALUES:
            seeds["guard"].add(chr(index) + value)
    for text in seeds["engine"]:
        template = text.split("\0", 1)[0]
        seeds["guard"].add(chr(127) + template + "\0" + GUARD_VALUES[0])

    for name, texts in seeds.items():
        folder = args.out / name
        folder.mkdir(parents=True, exist_ok=True)
        for text in texts:
            data = text.encode("utf-8", "surrogatepass")
            (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)
        print(f"{name}: {len(texts)} seeds")


if __name__ == "__main__":
    main()
