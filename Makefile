# Thin entry points over the CMake presets.
#   make demo     install missing packages, build the release preset, run the demo
#   make test     install missing packages, build the dev preset (ASan+UBSan) and run
#                 every test, then build the fuzzers and give each a short run
#   make bench    build the benchmarks and print the ours-vs-peer table
#   make install PREFIX=/usr/local
#   make fuzz FUZZ_SECONDS=60
#   make valgrind  run every test program of the release build under valgrind
#   make format   rewrite every C/C++ file with clang-format

SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c

PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
SMOKE_SECONDS ?= 3
JOBS ?= 2

.PHONY: all deps demo test unit clang consumer valgrind fuzz-build fuzz-smoke fuzz bench install format check-format \
        release release-test clean

all: release

deps:
	@scripts/install-deps

demo: deps
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target krtool
	@scripts/demo build/release/tools/krtool/krtool

test: deps check-format unit clang consumer fuzz-smoke
	@scripts/test-summary build/dev/ctest-output.log build/fuzz/fuzz-output.log

# Everything again with clang and warnings as errors, tests included.
clang:
	cmake --preset dev-clang
	cmake --build --preset dev-clang -j$(JOBS)
	ctest --preset dev-clang

# Builds the release libraries, installs them into a temporary prefix and
# builds two small consumers against them (CMake package and pkg-config).
consumer:
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target krtools_shared krtools_static krmepit_shared krmepit_static krtool
	scripts/consumer-check build/release

valgrind: deps
	@scripts/install-deps --valgrind
	cmake --preset release
	cmake --build --preset release -j$(JOBS)
	scripts/valgrind-tests build/release

unit:
	cmake --preset dev
	cmake --build --preset dev -j$(JOBS)
	ctest --preset dev 2>&1 | tee build/dev/ctest-output.log

release-test: deps
	cmake --preset release
	cmake --build --preset release -j$(JOBS)
	ctest --preset release

fuzz-build:
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)

fuzz-smoke: fuzz-build
	scripts/fuzz-run $(SMOKE_SECONDS) 2>&1 | tee build/fuzz/fuzz-output.log

fuzz: deps fuzz-build
	scripts/fuzz-run $(FUZZ_SECONDS)

bench:
	@scripts/install-deps --bench
	cmake --preset bench
	cmake --build --preset bench -j$(JOBS)
	python3 bench/report.py build/bench

release:
	cmake --preset release
	cmake --build --preset release -j$(JOBS)

install: deps
	cmake --preset release -DKRTOOLS_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build --preset release -j$(JOBS)
	cmake --install build/release

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs -r clang-format -i

check-format:
	@scripts/check-format

clean:
	rm -rf build
