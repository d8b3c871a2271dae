# make run: install what is missing, build, make the sample game once, start the program in it.
# make test: install what is missing, build, run every test.
# make package: install what is missing, build, make the Debian package in the build folder.
# make screenshots: remake docs/screenshots from the real windows.
BUILD ?= build
# ccache, when the machine has it, keeps rebuilds of unchanged files cheap.
LAUNCHER := $(shell command -v ccache 2>/dev/null)
CMAKE_LAUNCHER := $(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER),)

.PHONY: all deps build test run bench package screenshots clean

all: build

deps:
	bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_LAUNCHER)
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

run: build
	bash scripts/run-sample $(BUILD)

package: build
	cmake --build $(BUILD) --target package

screenshots: build
	bash docs/screenshots/make-screenshots.sh $(BUILD)

bench: build
	bash bench/run-all $(BUILD)

clean:
	rm -rf $(BUILD)
