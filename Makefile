# Front end over CMake. `make demo` and `make test` set up everything they
# need on a fresh Debian 12 machine, build, and do their job.

SHELL := /bin/bash
BUILD ?= build
PRESET ?= default
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test demo snapshots clean

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

demo: build
	@tools/run-demo.sh $(BUILD)

# Regenerates the README's screenshots in docs/ (no display needed).
snapshots: build
	@tools/snapshots.sh $(BUILD)

clean:
	@rm -rf $(BUILD) build-release build-asan
