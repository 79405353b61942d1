# `make demo` runs the main job, `make test` builds everything and runs every test.
#
# Three builds: native (core, tool, unit tests), win32 (the product: the 32-bit DLL and
# tool) and win64 (the same sources as 64-bit Windows programs, run under wine64, so the
# Windows side is exercised on machines that cannot execute 32-bit code).
SHELL := /bin/bash
export WINEDEBUG := -all

.PHONY: all deps native win32 win64 test demo clean

all: native win32 win64

deps:
	@scripts/install-deps --check || scripts/install-deps

native win32 win64: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@

test: native win32 win64
	ctest --preset native
	ctest --preset win64
	@if scripts/can-run-i386; then \
	    ctest --preset win32; \
	else \
	    echo "This machine cannot execute 32-bit code: the 32-bit DLL is checked as a binary;"; \
	    echo "its behaviour is tested through the win64 build of the same sources."; \
	    ctest --preset win32 -L binary; \
	fi

demo: win32
	@echo "Mirevane.dll exports:"
	@i686-w64-mingw32-objdump -p build/win32/Mirevane.dll | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$$/p'

clean:
	rm -rf build out
