# `make demo` runs the main job, `make test` builds everything and runs every test.
#
# Three builds: native (core, tool, unit tests), win32 (the product: the 32-bit DLL and
# tool) and win64 (the same sources as 64-bit Windows programs, run under wine64, so the
# Windows side is exercised on machines that cannot execute 32-bit code).
SHELL := /bin/bash
export WINEDEBUG := -all

.PHONY: all deps native win32 win64 sanitize fuzz-build fuzz fuzz-run format format-check docs dist test demo bench clean

all: native win32 win64

deps:
	@scripts/install-deps --check || scripts/install-deps

native win32 win64 sanitize: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@

# libFuzzer targets (fuzz/, clang): `make fuzz FUZZ_SECONDS=N` runs each for N seconds, one
# after the other, from the seeds in fuzz/corpus/<target>; `make fuzz FUZZ_RUNS=N
# FUZZ_SECONDS=0` runs each for N executions (per process: FUZZ_JOBS=2 runs two side by side).
# New inputs collect in build/fuzz/corpus/<target>, findings in build/fuzz/findings/, logs in
# build/fuzz/logs/; a finding fails the run (once fixed, its input joins the seeds, which every
# build's tests replay). `make test` runs each for FUZZ_SMOKE_SECONDS from the seeds alone.
FUZZ_TARGETS := subject table profile load scenario check studio panel
FUZZ_SECONDS ?= 600
FUZZ_SMOKE_SECONDS ?= 30
FUZZ_JOBS ?= 1
FUZZ_DIR := $(CURDIR)/build/fuzz
FUZZ_CORPUS ?= $(FUZZ_DIR)/corpus

fuzz-build: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz

fuzz: fuzz-build
	@$(MAKE) --no-print-directory fuzz-run SECONDS=$(FUZZ_SECONDS) RUNS=$(FUZZ_RUNS)

fuzz-run:
	@for t in $(FUZZ_TARGETS); do \
	    scripts/run-fuzzer $$t $(SECONDS) "$(RUNS)" $(FUZZ_JOBS) $(FUZZ_CORPUS) || exit 1; \
	done

# The sources follow .clang-format, the pages' scripts .prettierrc.json (and eslint.config.js):
# `make format` rewrites them, `make test` checks them first. Prettier and eslint come from npm at
# the versions package-lock.json pins; without npm or the registry, scripts/page-scripts says so
# in one line and skips them.
CLANG_FORMAT := clang-format-14
FORMATTED = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests tools fuzz bench -name '*.cpp' -o -name '*.h')

format: deps
	$(CLANG_FORMAT) -i $(FORMATTED)
	@scripts/page-scripts format

format-check: deps
	@$(CLANG_FORMAT) --dry-run -Werror $(FORMATTED) || \
	    { echo "Sources differ from .clang-format: run make format"; exit 1; }
	@scripts/page-scripts check

# docs/configuration.md and the diagnostics of docs/tool.md are generated from the tables the
# plug-in and the tool read: `make docs` rewrites them; `make test` fails when they are stale.
docs: native
	scripts/generate-docs --tool $(TOOL)

# The release package for Windows users: dist/mirevane-VERSION-windows.zip (package/).
dist: win32 win64
	python3 package/make_package.py --win32 build/win32 --win64 build/win64 --out dist

test: format-check native win32 win64 sanitize fuzz-build dist
	ctest --preset native
	ctest --preset sanitize
	@rm -rf $(FUZZ_DIR)/smoke
	@$(MAKE) --no-print-directory fuzz-run SECONDS=$(FUZZ_SMOKE_SECONDS) FUZZ_CORPUS=$(FUZZ_DIR)/smoke
	ctest --preset win64
	@if scripts/can-run-i386; then \
	    ctest --preset win32; \
	else \
	    echo "This machine cannot execute 32-bit code: the 32-bit DLL is checked as a binary;"; \
	    echo "its behaviour is tested through the win64 build of the same sources."; \
	    ctest --preset win32 -L binary; \
	fi
	python3 tests/package/check_package.py --native build/native/mirevane --win32 build/win32 \
	    --win64 build/win64 --dist dist

# The example cab through the tool: its check report, then a run and a calibration session
# replayed through the plug-in's own code, with traces and plots under out/demo/.
DEMO := $(CURDIR)/out/demo
TOOL := $(CURDIR)/build/native/mirevane
# Only what the demo runs is built: the native tool and the 32-bit DLL, not the tests.
demo: deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target mirevane
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 --target Mirevane
	@mkdir -p $(DEMO)
	@echo; echo "== mirevane check examples/cab/Mirevane.dll"
	@set -o pipefail; cd examples && $(TOOL) check cab/Mirevane.dll | tee $(DEMO)/check.txt
	@echo; echo "== a run: acceleration, cruising, braking (examples/scenarios/run.csv, 30 frames/s)"
	@cd examples && $(TOOL) run cab/Mirevane.dll --scenario scenarios/run.csv --fps 30 \
	    --out $(DEMO)/run.csv --plot $(DEMO)/run.svg --html $(DEMO)/run.html
	@echo "== a calibration session: developer keys and copies (examples/calibration, 20 frames/s)"
	@cd examples/calibration && $(TOOL) run ../cab/Mirevane.dll --scenario calibration.csv \
	    --fps 20 --out $(DEMO)/calibration.csv --plot $(DEMO)/calibration.svg \
	    --html $(DEMO)/calibration.html
	@echo; echo "The plug-in for the simulator: build/win32/Mirevane.dll, exporting"
	@i686-w64-mingw32-objdump -p build/win32/Mirevane.dll \
	    | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$$/p' | awk 'NR > 1 && NF { printf " %s", $$NF } END { print "" }'
	@echo; echo "Written:"
	@echo "  $(DEMO)/check.txt        the check report"
	@echo "  $(DEMO)/run.csv          the run's trace: panel entries per frame"
	@echo "  $(DEMO)/run.svg          every needle over the run"
	@echo "  $(DEMO)/run.html         every needle on its dial, with a time slider (open it in a browser)"
	@echo "  $(DEMO)/calibration.csv  the calibration session's trace, copies in its clipboard column"
	@echo "  $(DEMO)/calibration.svg  every needle over the calibration session"
	@echo "  $(DEMO)/calibration.html the session on the dials, its key presses and copies on the time line"
	@echo; echo "Open $(DEMO)/run.html first. To tune the example cab live in your browser (docs/studio.md):"
	@echo "  cd examples && ../build/native/mirevane studio cab/Mirevane.dll --scenario scenarios/run.csv --fps 30"

# Benchmarks (bench/, Google Benchmark): Elapse of a 17-gauge set, each stage, the floor of
# its maths calls and the ratio, Load natively; medians over BENCH_REPETITIONS runs, taken in
# random interleaving so that a change in the machine's speed meets Elapse and the floor alike.
# Then Load of the real DLL (the 64-bit build: this machine runs no 32-bit code) under wine64.
BENCH_REPETITIONS ?= 15
BENCH_WINE := $(CURDIR)/build/win64/bench
bench: deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target mirevane_bench
	build/native/bench/mirevane_bench --benchmark_repetitions=$(BENCH_REPETITIONS) \
	    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 --target Mirevane
	@rm -rf $(BENCH_WINE) && mkdir -p $(BENCH_WINE)/cab && cp bench/config/* $(BENCH_WINE)/cab/
	x86_64-w64-mingw32-g++ -std=c++17 -O2 -static -Wall -Wextra bench/wine/load_timer.cpp \
	    -o $(BENCH_WINE)/load_timer.exe
	WINEPREFIX=$(CURDIR)/build/win64/wineprefix /usr/lib/wine/wine64 $(BENCH_WINE)/load_timer.exe \
	    build/win64/Mirevane.dll $(BENCH_WINE)/cab

clean:
	rm -rf build out dist
