# Front end over CMake. `make demo` and `make test` set up everything they
# need on a fresh Debian 12 machine, build, and do their job.

SHELL := /bin/bash
BUILD ?= build
PRESET ?= default
JOBS ?= $(shell nproc)
# How long `make fuzz` runs each fuzz target, and `make test` in its short run.
FUZZ_SECONDS ?= 60
TEST_FUZZ_SECONDS ?= 15
# `make mutation`: how many mutants, the seed of the sample, the sources to
# mutate (globs, e.g. FILES=core/Matcher.cpp) and an optional Markdown report.
MUTANTS ?= 200
SEED ?= 1
FILES ?=
REPORT ?=

.PHONY: all deps configure build test package package-check sanitize sanitize-thread fuzz demo snapshots ui-check bench mutation clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build $(BUILD) --parallel $(JOBS)

# In CI the Debian package is also built, installed and run; the core tests
# run under ASan/UBSan, the core, store and watcher tests under TSan, and
# every fuzz target for TEST_FUZZ_SECONDS. All of it comes before the tests,
# so that their summary stays the last thing printed.
test: PRESET = $(if $(CI),ci,default)
test: build
	@tools/install-deps.sh test
	@$(if $(CI),$(MAKE) --no-print-directory package-check,echo "Package check skipped outside CI (make package-check installs the package)")
	@$(MAKE) --no-print-directory sanitize
	@$(MAKE) --no-print-directory sanitize-thread
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(TEST_FUZZ_SECONDS)
	@ctest --test-dir $(BUILD) --output-on-failure --parallel $(JOBS) --timeout 600

# The Debian package, from a Release build in build-package.
package: deps
	@cmake --preset package >/dev/null
	@cmake --build build-package --parallel $(JOBS)
	@rm -f build-package/mossbin_*.deb
	@cd build-package && cpack >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@ls build-package/mossbin_*.deb

# Installs the package (apt-get, as root or through sudo) and runs the
# installed mossbin on a demo home in a temporary folder.
package-check: package
	@tools/check-package.sh build-package

# The core tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake --preset asan >/dev/null
	@cmake --build build-asan --parallel $(JOBS)
	@ctest --test-dir build-asan --output-on-failure --parallel $(JOBS) --timeout 900

# The core, store, session and watcher tests under ThreadSanitizer. Qt is not
# built with it: the tests tell it about Qt's hand-offs between threads
# (tests/support/ThreadSanitizerQt.cpp, tests/tsan.supp), while the tools run
# during the build (the logo renderer) report nothing.
sanitize-thread: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan --parallel $(JOBS)
	@ctest --preset tsan --parallel $(JOBS) --timeout 900

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

# The real window under a virtual X server with a window manager, driven from
# the keyboard and read through the accessibility bus (tools/ui-check.sh);
# prints where its screenshots are. Not part of `make test`: it takes a few
# minutes.
ui-check: build
	@tools/ui-check.sh $(BUILD)

# Release build, generated homes (cached in build-release/bench-data), the
# benchmarks and the commands they are compared with; writes BENCHMARKS.md.
bench: deps
	@cmake --preset release >/dev/null
	@cmake --build build-release --parallel $(JOBS) --target mossbench make-bench-home
	@cmake --build build-release --parallel $(JOBS) --target mossbin >/dev/null 2>&1 || \
		echo "mossbin did not build: the whole-process benchmark is skipped"
	@bench/run-benchmarks.py build-release

# How many seeded faults the tests catch (tools/mutation-check, TESTING.md).
# Builds in build-mutation; not part of `make test`.
mutation: deps
	@tools/mutation-check --mutants $(MUTANTS) --seed $(SEED) --jobs $(JOBS) \
		$(foreach pattern,$(FILES),--files '$(pattern)') $(if $(REPORT),--report $(REPORT))

clean:
	@rm -rf $(BUILD) build-release build-asan build-tsan build-fuzz build-package build-mutation
