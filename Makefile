# SPDX-License-Identifier: MIT
# Quick start: `make demo` runs the viewer on sample images, `make test` runs
# every test. Each target first installs the missing Debian packages of the
# groups of tools/packages.txt it needs (NO_INSTALL=1: only list them, stop).
#
#   build, demo:      build-and-run (+ headless-demo when DISPLAY is unset)
#   test, bench:      build-and-run, headless-demo, tests, package, report
#   package:          build-and-run, package, report
#   install:          build-and-run; PREFIX (default /usr/local), DESTDIR
#   windows:          windows (mingw-w64, zip, dpkg-dev)

BUILD_DIR ?= build
BUILD_TYPE ?= Release
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
DEPS ?= build-and-run
# Flags of a target (test, bench); CMAKE_FLAGS from the command line adds to them.
TARGET_FLAGS =

DEMO_DEPS := build-and-run $(if $(DISPLAY),,headless-demo)
TEST_DEPS := build-and-run headless-demo tests package report

.PHONY: all deps configure build test demo bench install package windows clean

all: build

deps:
	@tools/install_deps.sh $(DEPS)

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(TARGET_FLAGS) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

demo: DEPS = $(DEMO_DEPS)
demo: build
	@tools/run_demo.sh $(BUILD_DIR)

# A test that cannot be built for want of a package fails the configure step.
test: DEPS = $(TEST_DEPS)
test: TARGET_FLAGS = -DBUILD_TESTING=ON -DMOIRAVEL_REQUIRE_TESTS=ON
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 900

bench: DEPS = $(TEST_DEPS)
bench: TARGET_FLAGS = -DMOIRAVEL_BUILD_BENCH=ON -DMOIRAVEL_REQUIRE_TESTS=ON
bench: build
	@tools/run_benchmarks.sh $(BUILD_DIR)

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR)

package: DEPS = build-and-run package report
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# The viewer for 64-bit Windows, cross-built with mingw-w64: build-windows/moiravel-demo.exe
# and build-windows/moiravel-windows-x86_64.zip (exe, README, how to run it).
WINDOWS_BUILD_DIR ?= build-windows

windows: DEPS = windows
windows: deps
	cmake -S . -B $(WINDOWS_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_BUILD_DIR) -j$(JOBS)

clean:
	rm -rf $(BUILD_DIR)
