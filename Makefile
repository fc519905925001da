# Travok: build, run and test on Debian 12. Every target installs what is missing first
# (scripts/setup.sh).
#
# Two builds of the same sources, each in a folder of its own: build/i686, the 32-bit
# one that is shipped, and build/x86_64 (PE32+). ARCH=i686 or ARCH=x86_64 picks one;
# without it each target takes every build this host can run (scripts/builds.sh), and a
# host that runs no 32-bit code says so and takes x86_64 alone. `run` and `screenshots`
# take the first of them; `dist` makes every build, since making needs no Wine.
BUILD ?= build
ARCH ?=
# TESTS=OFF configures a build without its tests, for `dist` of a build this host
# cannot run (the tests' Wine prefix could not be made).
TESTS ?= ON
# BUSY=N runs N CPU-bound processes beside `make test` for its whole length, to prove
# that the tests pass on a machine that other work keeps busy.
BUSY ?= 0
builds = bash scripts/builds.sh

.PHONY: all setup build test stress bench run screenshots dist clean

all: build

setup:
	@bash scripts/setup.sh

# Every build, even when one fails, so that one run shows the state of both.
build stress bench: setup
	@builds=$$($(builds) run $(ARCH)) || exit 1; status=0; \
	for arch in $$builds; do $(MAKE) --no-print-directory $@-$$arch || status=1; done; exit $$status

test: setup
	@builds=$$($(builds) run $(ARCH)) || exit 1; \
	bash scripts/busy.sh $(BUSY) bash -c 'status=0; for arch in '"$$(echo $$builds)"'; do \
	  $(MAKE) --no-print-directory test-$$arch || status=1; done; exit $$status'

run screenshots: setup
	@builds=$$($(builds) run $(ARCH)) || exit 1; set -- $$builds; $(MAKE) --no-print-directory $@-$$1

# dist/Travok-<version>-setup.exe and -portable.zip (i686), and -x64-setup.exe and
# -x64-portable.zip (x86_64), made by every build in its dist folder and copied here.
dist: setup
	@builds=$$($(builds) make $(ARCH)) || exit 1; runnable=$$($(builds) run 2>/dev/null); \
	for arch in $$builds; do \
	  case " $$(echo $$runnable) " in *" $$arch "*) tests=ON ;; *) tests=OFF ;; esac; \
	  $(MAKE) --no-print-directory dist-$$arch TESTS=$$tests || exit 1; \
	done

configure-%:
	@test -f $(BUILD)/$*/CMakeCache.txt || cmake -S . -B $(BUILD)/$* \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$*-mingw.cmake -DCMAKE_BUILD_TYPE=Release -DTRAVOK_TESTS=$(TESTS)

build-%: configure-%
	cmake --build $(BUILD)/$* -j2

test-%: build-%
	@echo "== $* build: tests"
	cd $(BUILD)/$* && ctest --output-on-failure -j2 -LE stress

# The long reliability runs (tests labelled "stress"): long automation fuzzing and the
# soak of server instances. Not part of `make test`.
stress-%: build-%
	cd $(BUILD)/$* && ctest --output-on-failure -L stress

# Speed and memory figures against baselines measured in the same run.
bench-%: build-%
	@echo "== $* build: benchmarks"
	$(BUILD)/$*/wine-run $(BUILD)/$*/bin/coder_bench.exe
	$(BUILD)/$*/wine-run $(BUILD)/$*/bin/run_bench.exe
	$(BUILD)/$*/wine-run $(BUILD)/$*/bin/console_bench.exe
	$(BUILD)/$*/wine-run --shutdown

# Opens Travok on $DISPLAY when there is one, else on a private Xvfb display, in a
# Wine prefix of its own.
run-%: build-%
	TRAVOK_WINEPREFIX=$(CURDIR)/$(BUILD)/$*/run-prefix $(BUILD)/$*/wine-run --init-prefix
	TRAVOK_WINEPREFIX=$(CURDIR)/$(BUILD)/$*/run-prefix TRAVOK_DISPLAY=$(DISPLAY) $(BUILD)/$*/wine-run $(BUILD)/$*/bin/Travok.exe
	TRAVOK_WINEPREFIX=$(CURDIR)/$(BUILD)/$*/run-prefix $(BUILD)/$*/wine-run --shutdown

# Saves docs/travok-sheet.png (the main window as it opens), docs/travok-about.png (the
# About box) and docs/travok-sheet-{100,150,200}.png (the window at each scaling) from
# the build's Travok.exe.
screenshots-%: build-%
	bash scripts/screenshot.sh $(BUILD)/$*

dist-%: build-%
	mkdir -p dist
	cp $(BUILD)/$*/dist/Travok-*-setup.exe $(BUILD)/$*/dist/Travok-*-portable.zip dist/

clean:
	rm -rf $(BUILD)
