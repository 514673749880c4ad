# Thin entry points over the CMake presets.
#   make demo     install missing packages, build the release preset, run the demo
#   make test     install missing packages, build the dev preset (ASan+UBSan) and run
#                 every test, then build the fuzzers and give each a short run
#   make bench    build the benchmarks and print the ours-vs-peer table
#   make install PREFIX=/usr/local
#   make fuzz FUZZ_SECONDS=60
#   make coverage  build with gcov, run the tests, HTML report and per-component table
#   make valgrind  run every test program of the release build under valgrind
#   make format   rewrite every C/C++ file with clang-format
#   make package  the Debian package build/release/krtools_<version>_amd64.deb
#   make abi-update  record the libraries' exported interface as the new baseline (abi/)

SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c

PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
SMOKE_SECONDS ?= 3
JOBS ?= 2
# What the release build installs (its tests are not needed for that).
INSTALLED_TARGETS := krtools_shared krtools_static krmepit_shared krmepit_static krtool krtool_docs

.PHONY: all deps test-deps fuzz-deps demo test unit clang consumer abi abi-update package package-check valgrind fuzz-build fuzz-smoke fuzz coverage bench install format check-format \
        release release-test clean

all: release

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --test

demo: deps
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target krtool
	@scripts/demo build/release/tools/krtool/krtool

test: test-deps check-format unit clang consumer abi package-check fuzz-smoke
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
	cmake --build --preset release -j$(JOBS) --target $(INSTALLED_TARGETS)
	scripts/consumer-check build/release

# The exported interface against the baseline under abi/ (abidiff); fails on
# any difference. After an intended change: make abi-update, commit abi/.
abi:
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target krtools_shared krmepit_shared
	scripts/abi-check build/release

abi-update:
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target krtools_shared krmepit_shared
	scripts/abi-check --update build/release

package:
	@scripts/install-deps --package
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target $(INSTALLED_TARGETS)
	cd build/release && cpack -G DEB

# The package's contents, dependencies and lintian's verdict, and its files
# unpacked into a temporary root: the tool runs and consumers build from there.
package-check: package
	scripts/package-check build/release/krtools_*_amd64.deb

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

fuzz: fuzz-deps fuzz-build
	scripts/fuzz-run $(FUZZ_SECONDS)

fuzz-deps:
	@scripts/install-deps --fuzz

coverage: test-deps
	@scripts/install-deps --coverage
	cmake --preset coverage
	cmake --build --preset coverage -j$(JOBS)
	ctest --preset coverage 2>&1 | tee build/coverage/ctest-output.log
	scripts/coverage-report build/coverage

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
