# make run: install what is missing, build, make the sample game once, start the program in it.
# make test: install what is missing, build, run every test; then the same suite again in the
#            sanitizer build (clang, AddressSanitizer + UndefinedBehaviorSanitizer), with each fuzz
#            target for a few seconds and the soak of the main window; then the Windows build's
#            tests under Wine (make windows-test).
# make fuzz: every fuzz target for FUZZ_SECONDS each (and at most FUZZ_RUNS executions if set).
# make soak: the soak of the main window with SOAK_ACTIONS random actions for each of SOAK_SEEDS.
# make package: install what is missing, build, make the Debian package in the build folder.
# make screenshots: remake docs/screenshots from the real windows.
# make windows-deps: install the mingw compiler and Wine, build the Windows libraries from Debian's
#            sources and unpack the mingw Qt into build-windows-deps (once; see HACKING.md).
# make windows: cross-build build-windows/pitkit.exe with its DLLs, and torvane-pitkit-windows.zip.
# make windows-test: build the Windows tests and run them under Wine.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
WINDOWS_BUILD ?= build-windows
WINDOWS_DEPS ?= $(CURDIR)/build-windows-deps
FUZZ_SECONDS ?= 300
SOAK_ACTIONS ?= 3000
SOAK_SEEDS ?= 1 2 3
# ccache, when the machine has it, keeps rebuilds of unchanged files cheap, in another clone too
# (paths below the clone hashed as relative ones).
LAUNCHER := $(shell command -v ccache 2>/dev/null)
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1
CMAKE_LAUNCHER := $(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER),)

.PHONY: all deps windows-deps windows-configure windows windows-test build sanitize-build test fuzz soak run bench package screenshots clean

all: build

deps:
	bash scripts/install-deps

windows-deps:
	WINDOWS_DEPS_DIR=$(WINDOWS_DEPS) bash scripts/install-windows-deps

windows-configure: windows-deps
	$(WINDOWS_DEPS)/qt6-mingw/bin/qt-cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DQT_HOST_PATH=/usr -DCMAKE_PREFIX_PATH=$(WINDOWS_DEPS)/prefix -DPITKIT_WINDOWS_DEPS_DIR=$(WINDOWS_DEPS) \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/tests/windows/wine-run.sh $(CMAKE_LAUNCHER)

windows: windows-configure
	cmake --build $(WINDOWS_BUILD) --target windows_zip

windows-test: windows-configure
	cmake --build $(WINDOWS_BUILD)
	WINDOWS_DEPS_DIR=$(WINDOWS_DEPS) bash tests/windows/run-tests.sh $(WINDOWS_BUILD)

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_LAUNCHER)
	cmake --build $(BUILD)

sanitize-build: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DPITKIT_SANITIZE=ON -DPITKIT_FUZZ=ON -DPITKIT_BUILD_BENCH=OFF $(CMAKE_LAUNCHER)
	cmake --build $(SANITIZE_BUILD)

test: build sanitize-build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
	$(MAKE) windows-test

fuzz: sanitize-build
	bash tests/fuzz/run.sh $(FUZZ_SECONDS) $(SANITIZE_BUILD)/tests/fuzz

soak: build
	bash tests/soak/run.sh $(BUILD)/tests/soak/pitkit_soak $(SOAK_ACTIONS) $(SOAK_SEEDS)

run: build
	bash scripts/run-sample $(BUILD)

package: build
	cmake --build $(BUILD) --target package

screenshots: build
	bash docs/screenshots/make-screenshots.sh $(BUILD)

bench: build
	bash bench/run-all $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
