# The two commands of a fresh machine:
#   make demo   - set up, build, and run the programs on the example installation
#   make test   - set up, build both targets, and run every test under Wine
.PHONY: all bootstrap build build-x64 build-x86 test demo soak bench format clean

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

test: build
	@ctest --preset windows-x64 -j2 --repeat until-pass:2

demo: build-x64
	@./scripts/demo.sh

# Fault and load runs (not tests; about 15 minutes): one PASS/FAIL line each.
soak: build-x64
	@./scripts/soak.sh

# Benchmarks (not tests; about 15 minutes): one table of figures beside same-run baselines.
bench: build-x64
	@./scripts/bench.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf build
