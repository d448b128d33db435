"""A short tour of velloquin; `make demo` runs it."""

import velloquin

print("velloquin core", velloquin.core_version())
