# Travok: build, run and test on Debian 12. `make run` and `make test` install what is
# missing first (scripts/setup.sh).
BUILD ?= build
CMAKE_FLAGS = -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DCMAKE_BUILD_TYPE=Release

.PHONY: all setup configure build run test stress bench clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j2

# Opens Travok on $DISPLAY when there is one, else on a private Xvfb display, in a
# Wine prefix of its own.
run: build
	TRAVOK_WINEPREFIX=$(CURDIR)/$(BUILD)/run-prefix $(BUILD)/wine-run --init-prefix
	TRAVOK_WINEPREFIX=$(CURDIR)/$(BUILD)/run-prefix TRAVOK_DISPLAY=$(DISPLAY) $(BUILD)/wine-run $(BUILD)/bin/Travok.exe
	TRAVOK_WINEPREFIX=$(CURDIR)/$(BUILD)/run-prefix $(BUILD)/wine-run --shutdown

test: build
	cd $(BUILD) && ctest --output-on-failure -j2 -LE stress

# The long reliability runs (tests labelled "stress"): long automation fuzzing and the
# soak of server instances. Not part of `make test`.
stress: build
	cd $(BUILD) && ctest --output-on-failure -L stress

# Speed and memory figures against baselines measured in the same run.
bench: build
	$(BUILD)/wine-run $(BUILD)/bin/coder_bench.exe
	$(BUILD)/wine-run $(BUILD)/bin/run_bench.exe
	$(BUILD)/wine-run $(BUILD)/bin/console_bench.exe
	$(BUILD)/wine-run --shutdown

clean:
	rm -rf $(BUILD)

# Saves docs/travok-sheet.png (the main window as it opens) and docs/travok-about.png
# (the About box) from the build's Travok.exe.
.PHONY: screenshots
screenshots: build
	bash scripts/screenshot.sh $(BUILD)

# dist/Travok-<version>-setup.exe (NSIS) and dist/Travok-<version>-portable.zip, made by
# every build in $(BUILD)/dist and copied here.
.PHONY: dist
dist: build
	mkdir -p dist
	cp $(BUILD)/dist/Travok-*-setup.exe $(BUILD)/dist/Travok-*-portable.zip dist/
