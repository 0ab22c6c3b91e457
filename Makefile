# The three entry points: `make` builds, `make test` runs every test, `make demo` shows an installation.
# Each first installs whatever system packages are missing.

JOBS ?= $(shell nproc)
NATIVE := build/native
WIN32 := build/win32
PYTEST := /usr/bin/python3 -m pytest

.PHONY: all deps native win32 test unit e2e demo bench fuzz fuzz-short clean

all: win32

deps:
	@scripts/deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

win32: native
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
		-DLQPACK=$(abspath $(NATIVE))/lqpack >/dev/null
	@cmake --build $(WIN32) -j $(JOBS)

unit: native
	@cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# lqpack as users run it, and the installer on Wine.
e2e: win32
	@LQ_STUB=$(abspath $(WIN32))/lqstub.exe LQPACK=$(abspath $(NATIVE))/lqpack LQ_WIN32_BIN=$(abspath $(WIN32)) \
		$(PYTEST) -q -p no:cacheprovider tests/tool tests/e2e

test: win32
	@$(MAKE) --no-print-directory unit
	@$(MAKE) --no-print-directory e2e
	@$(MAKE) --no-print-directory fuzz-short

# The release pass: FUZZ_SECONDS per target (default 10 minutes each).
fuzz: win32
	@LQPACK=$(abspath $(NATIVE))/lqpack LQ_STUB=$(abspath $(WIN32))/lqstub.exe fuzz/run.sh $(or $(FUZZ_SECONDS),600)

# The pass of every test run: 15 s for each of the four targets.
fuzz-short: win32
	@LQPACK=$(abspath $(NATIVE))/lqpack LQ_STUB=$(abspath $(WIN32))/lqstub.exe fuzz/run.sh 15

demo: win32
	@LQ_STUB=$(abspath $(WIN32))/lqstub.exe LQPACK=$(abspath $(NATIVE))/lqpack LQ_WIN32_BIN=$(abspath $(WIN32)) \
		/usr/bin/python3 scripts/demo.py

bench: win32
	@$(NATIVE)/bench_codec
	@/usr/bin/python3 bench/install_bench.py

clean:
	rm -rf build
