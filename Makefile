# The commands of a fresh machine:
#   make demo    - set up, build, and run the programs on the example installation
#   make test    - set up, build both targets, and run every test under Wine
#   make package - the 32-bit release ZIP
.PHONY: all bootstrap build build-x64 build-x86 test demo package bench format clean

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

# The release package from the 32-bit tree: build/windows-x86/Vorlix-<version>-win32.zip.
package: build-x86
	@cmake --build --preset windows-x86 --target package

# Lines per second through a logger unit beside a raw guard + append + flush loop (not a test).
BENCH_PREFIX = VORLIX_WINEPREFIX=$(CURDIR)/build/windows-x64/wineprefix
bench: build-x64
	@$(BENCH_PREFIX) ./cmake/wine-run.sh --start
	@cd build/windows-x64 && $(BENCH_PREFIX) ../../cmake/wine-run.sh bin/LogBench.exe 20000; \
	  status=$$?; $(BENCH_PREFIX) ../../cmake/wine-run.sh --stop; exit $$status

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf build
