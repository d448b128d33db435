#!/usr/bin/env bash
# Prints the path of the first CPython >= 3.12 on this machine, or fails saying so.
# pyenv shims answer "command not found" for versions that are not selected, so every
# candidate is run and checked, and pyenv's own installs are tried by path as well.
set -u
ok() { "$1" -c 'import sys; sys.exit(0 if sys.version_info >= (3, 12) else 1)' >/dev/null 2>&1; }
candidates=()
for name in python3.13 python3.12 python3; do
  path=$(command -v "$name" 2>/dev/null) && candidates+=("$path")
done
if command -v pyenv >/dev/null 2>&1; then
  root=$(pyenv root 2>/dev/null)
  for v in $(pyenv versions --bare 2>/dev/null | grep -E '^3\.[0-9]+(\.[0-9]+)?$' | sort -rV); do
    candidates+=("$root/versions/$v/bin/python3")
  done
fi
for c in "${candidates[@]}"; do
  if ok "$c"; then
    "$c" -c 'import sys; print(sys.executable)'
    exit 0
  fi
done
echo "error: no CPython 3.12 or later found (tried python3.13, python3.12, python3 and pyenv's versions)" >&2
exit 1
