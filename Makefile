# Quick start: `make demo` runs the viewer on sample images, `make test` runs
# every test. Both install whatever Debian packages are missing first.

BUILD_DIR ?= build
BUILD_TYPE ?= Release
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test demo bench windows clean

all: build

deps:
	@tools/install_deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 600

demo: build
	@tools/run_demo.sh $(BUILD_DIR)

bench: build
	@tools/run_benchmarks.sh $(BUILD_DIR)

# The viewer for 64-bit Windows, cross-built with mingw-w64: build-windows/moiravel-demo.exe
# and build-windows/moiravel-windows-x86_64.zip (exe, README, how to run it).
WINDOWS_BUILD_DIR ?= build-windows

windows:
	cmake -S . -B $(WINDOWS_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_BUILD_DIR) -j$(JOBS)

clean:
	rm -rf $(BUILD_DIR)
