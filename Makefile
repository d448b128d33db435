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
# CMake and CTest from the virtual environment: the stable-ABI module needs CMake 3.26 or later.
CMAKE   := $(VENV)/bin/cmake
CTEST   := $(VENV)/bin/ctest
# The project's own builds treat a warning as an error; pip installs for users do not.
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLOQUIN_WERROR=ON

APT_PACKAGES := build-essential cmake ninja-build pkg-config libyaml-dev libtomlplusplus-dev \
                nlohmann-json3-dev libssl-dev libgtest-dev clang libclang-rt-14-dev clang-format

.PHONY: deps venv build module test test-cpp test-python test-conformance test-format demo sanitize \
        bench conformance fuzz fuzz-build clean

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
	$(CMAKE) -S . -B $(BUILD) $(CMAKE_FLAGS) -DPython_EXECUTABLE=$(abspath $(PY))
	$(CMAKE) --build $(BUILD) -j $(JOBS)

# The extension module, installed into the virtual environment.
module: venv
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(PY) -m pip install -q --no-build-isolation .

test-cpp: build
	$(CTEST) --test-dir $(BUILD) --output-on-failure

test-python: module
	$(PY) -m pytest -q tests/python

# The differential check takes seconds, so it runs with the tests and fails them on any
# difference not listed in tests/differential/known_differences.tsv.
test-conformance:
	$(MAKE) --no-print-directory conformance STRICT=1

# Every C++ file of the repository as clang-format writes it with the root .clang-format (the
# generated tables of src/jinja/unicode excepted).
test-format: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# The sanitizer build adds about ten minutes on two cores, well inside what CI allows, so every
# run checks the C++ tests under ASan and UBSan too.
test: test-format test-cpp test-python test-conformance sanitize

demo: module
	$(PY) examples/demo.py

# The C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer, with assertions kept
# (no NDEBUG), so a broken library invariant fails here rather than passing silently.
sanitize: venv
	$(CMAKE) -S . -B $(ASAN) $(CMAKE_FLAGS) -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" \
	  -DVELLOQUIN_SANITIZE=ON -DVELLOQUIN_BENCH=OFF
	$(CMAKE) --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir $(ASAN) --output-on-failure

# libFuzzer targets (tests/fuzz/README.md), built with clang under ASan+UBSan, each run for
# FUZZ_SECONDS from a seed corpus taken out of the tests. The corpora that grow and any
# findings stay in $(FUZZ)/, which is not committed.
FUZZ         := build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := json_text:json yaml:yaml toml:toml engine:engine guard:json
FUZZ_OPTIONS := -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1

fuzz-build: venv
	CC=clang CXX=clang++ $(CMAKE) -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE= \
	  -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" -DVELLOQUIN_FUZZ=ON \
	  -DVELLOQUIN_TESTS=OFF -DVELLOQUIN_BENCH=OFF
	$(CMAKE) --build $(FUZZ) -j $(JOBS)
	@base=$$(tools/find-python.sh) || exit 1; "$$base" tests/fuzz/make_seeds.py $(FUZZ)/seeds

fuzz: fuzz-build
	@for pair in $(FUZZ_TARGETS); do t=$${pair%%:*}; d=$${pair#*:}; log=$(FUZZ)/findings/$$t.log; \
	  mkdir -p $(FUZZ)/corpus/$$t $(FUZZ)/findings/$$t; echo "== fuzz_$$t for $(FUZZ_SECONDS)s"; \
	  if ! $(FUZZ)/tests/fuzz/fuzz_$$t $(FUZZ)/corpus/$$t $(FUZZ)/seeds/$$t -dict=tests/fuzz/$$d.dict \
	      -max_total_time=$(FUZZ_SECONDS) $(FUZZ_OPTIONS) -artifact_prefix=$(FUZZ)/findings/$$t/ \
	      > $$log 2>&1; then tail -n 60 $$log; echo "fuzz_$$t found a problem: $$log"; exit 1; fi; \
	  grep -E 'DONE|stat::number_of_executed_units' $$log; \
	done

$(STAMPS)/bench-requirements: requirements-bench.txt requirements.txt | $(PY)
	$(PY) -m pip install -q -r requirements-bench.txt -c requirements.txt
	@mkdir -p $(STAMPS) && touch $@

# C++ benchmarks, then the side-by-side comparison with the Python peers (QUICK=1: short run).
bench: build module $(STAMPS)/bench-requirements
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b || exit 1; done
	$(PY) bench/compare.py $(if $(QUICK),--quick)

# Differential check against minijinja (tests/differential/README.md): its own virtual
# environment with the pinned binding.
# STRICT=1 fails on unexpected differences. The full report goes to $(CONF_OUT)/report.txt.
CONF_VENV := .venv-conformance
CONF_PY   := $(CONF_VENV)/bin/python
CONF_OUT  := build/conformance
DIFF      := tests/differential
MINIJINJA_VERSION := 2.24.0

$(CONF_PY):
	@base=$$(tools/find-python.sh) || exit 1; echo "using $$base"; "$$base" -m venv $(CONF_VENV)

$(STAMPS)/conformance-minijinja-$(MINIJINJA_VERSION): | $(CONF_PY)
	$(CONF_PY) -m pip install -q "minijinja==$(MINIJINJA_VERSION)"
	@mkdir -p $(STAMPS) && touch $@

conformance: venv $(STAMPS)/conformance-minijinja-$(MINIJINJA_VERSION)
	@mkdir -p $(CONF_OUT); rm -f $(CONF_OUT)/engine.jsonl
	$(CONF_PY) -m unittest discover -s $(DIFF)
	@now() { date +%s.%N; }; t0=$$(now); \
	$(CONF_PY) $(DIFF)/generate.py -o $(CONF_OUT)/cases.jsonl || exit 1; t1=$$(now); \
	$(CONF_PY) $(DIFF)/run_minijinja.py $(CONF_OUT)/cases.jsonl -o $(CONF_OUT)/minijinja.jsonl || exit 1; t2=$$(now); \
	$(CMAKE) -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null && \
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target render_cases || exit 1; t3=$$(now); \
	$(CONF_PY) $(DIFF)/supervise.py $(CONF_OUT)/cases.jsonl -o $(CONF_OUT)/engine.jsonl \
	  -- $(BUILD)/tools/render_cases || exit 1; t4=$$(now); \
	$(CONF_PY) $(DIFF)/compare.py $(CONF_OUT)/cases.jsonl $(CONF_OUT)/minijinja.jsonl \
	  $(CONF_OUT)/engine.jsonl $(if $(STRICT),--strict) > $(CONF_OUT)/report.txt; rc=$$?; t5=$$(now); \
	grep -v -e '^    ' -e '^--- ' $(CONF_OUT)/report.txt; \
	echo "full report: $(CONF_OUT)/report.txt"; \
	awk -v a=$$t0 -v b=$$t1 -v c=$$t2 -v d=$$t3 -v e=$$t4 -v f=$$t5 'BEGIN { \
	  printf "time: generate %.1fs, minijinja %.1fs, engine build %.1fs, engine %.1fs, compare %.1fs, total %.1fs\n", \
	    b-a, c-b, d-c, e-d, f-e, f-a }'; \
	exit $$rc

clean:
	rm -rf build $(STAMPS)
