# Front end over CMake. `make demo` and `make test` set up everything they
# need on a fresh Debian 12 machine, build, and do their job.

SHELL := /bin/bash
BUILD ?= build
PRESET ?= default
JOBS ?= $(shell nproc)
# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test sanitize fuzz demo snapshots bench clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build $(BUILD) --parallel $(JOBS)

test: PRESET = $(if $(CI),ci,default)
test: build
	@ctest --test-dir $(BUILD) --output-on-failure --parallel $(JOBS) --timeout 600

# The core tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake --preset asan >/dev/null
	@cmake --build build-asan --parallel $(JOBS)
	@ctest --test-dir build-asan --output-on-failure --parallel $(JOBS) --timeout 900

# Every libFuzzer target for FUZZ_SECONDS, from the seeds in tests/fuzz/corpus.
fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build build-fuzz --parallel $(JOBS)
	@tools/run-fuzz.sh build-fuzz $(FUZZ_SECONDS)

demo: build
	@tools/run-demo.sh $(BUILD)

# Regenerates the README's screenshots in docs/ (no display needed).
snapshots: build
	@tools/snapshots.sh $(BUILD)

# Release build, generated homes (cached in build-release/bench-data), the
# benchmarks and the commands they are compared with; writes BENCHMARKS.md.
bench: deps
	@cmake --preset release >/dev/null
	@cmake --build build-release --parallel $(JOBS) --target mossbench make-bench-home
	@cmake --build build-release --parallel $(JOBS) --target mossbin >/dev/null 2>&1 || \
		echo "mossbin did not build: the whole-process benchmark is skipped"
	@bench/run-benchmarks.py build-release

clean:
	@rm -rf $(BUILD) build-release build-asan build-fuzz
