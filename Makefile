# The commands of a fresh machine:
#   make demo    - set up, build, and run the programs on the example installation
#   make test    - set up, build both targets, and run every test under Wine, and the native
#                  sanitizer build's tests and short fuzz runs
#   make package - the 32-bit release ZIP
#   make fuzz    - long fuzz runs: FUZZ_TIME seconds per target (FUZZ_TARGETS picks some)
#   make soak    - fault and load runs under Wine; make bench - the benchmark table
.PHONY: all bootstrap build build-x64 build-x86 build-native test demo package soak bench fuzz format clean

all: build

bootstrap:
	@./scripts/bootstrap.sh

build-x64: bootstrap
	@cmake --preset windows-x64 >/dev/null
	@cmake --build --preset windows-x64

build-x86: bootstrap
	@cmake --preset windows-x86 >/dev/null
	@cmake --build --preset windows-x86

build: build-x64 build-x86

# The portable modules with the host's clang under AddressSanitizer and UndefinedBehaviorSanitizer,
# their unit tests and the fuzz targets.
build-native: bootstrap
	@cmake --preset native-asan >/dev/null
	@cmake --build --preset native-asan

test: build build-native
	@ctest --preset native-asan -j2
	@ctest --preset windows-x64 -j2 --repeat until-pass:2

FUZZ_TIME ?= 60
FUZZ_TARGETS ?=
fuzz: build-native
	@FUZZ_TIME=$(FUZZ_TIME) FUZZ_TARGETS="$(FUZZ_TARGETS)" ./scripts/fuzz.sh

demo: build-x64
	@./scripts/demo.sh

# Fault and load runs (not tests; about 15 minutes): one PASS/FAIL line each.
soak: build-x64
	@./scripts/soak.sh

# The release package from the 32-bit tree: build/windows-x86/Vorlix-<version>-win32.zip.
package: build-x86
	@cmake --build --preset windows-x86 --target package

# Benchmarks (not tests; about 15 minutes): one table of figures beside same-run baselines.
bench: build-x64
	@./scripts/bench.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf build
