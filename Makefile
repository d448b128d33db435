# Two entry points for a fresh machine: `make demo` and `make test`.
# Every step installs only what is missing, so running them again is cheap.
SHELL := /bin/bash
.DEFAULT_GOAL := test

VENV    := .venv
PY      := $(VENV)/bin/python
BUILD   := build/cpp
ASAN    := build/asan
STAMPS  := .stamps
JOBS    ?= 2
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

APT_PACKAGES := build-essential cmake ninja-build pkg-config libyaml-dev libtomlplusplus-dev \
                nlohmann-json3-dev libssl-dev libgtest-dev

.PHONY: deps venv build module test test-cpp test-python demo sanitize bench conformance clean

# Debian packages: installed with apt-get only when one is missing.
deps:
	@missing=""; for p in $(APT_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=; else SUDO=sudo; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

# The virtual environment, made from the first CPython >= 3.12 found.
$(PY):
	@base=$$(tools/find-python.sh) || exit 1; echo "using $$base"; "$$base" -m venv $(VENV)

$(STAMPS)/requirements: requirements.txt | $(PY)
	$(PY) -m pip install -q --upgrade pip
	$(PY) -m pip install -q -r requirements.txt
	@mkdir -p $(STAMPS) && touch $@

venv: deps $(STAMPS)/requirements

build: venv
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build $(BUILD) -j $(JOBS)

# The extension module, installed into the virtual environment.
module: venv
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(PY) -m pip install -q --no-build-isolation .

test-cpp: build
	ctest --test-dir $(BUILD) --output-on-failure

test-python: module
	$(PY) -m pytest -q tests/python

test: test-cpp test-python

demo: module
	$(PY) examples/demo.py

sanitize: venv
	cmake -S . -B $(ASAN) $(CMAKE_FLAGS) -DVELLOQUIN_SANITIZE=ON -DVELLOQUIN_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN) --output-on-failure

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

clean:
	rm -rf build $(STAMPS)
