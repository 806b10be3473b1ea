# Quillane — build, test and lab entry points.  `make test` is what CI runs.
SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the project needs: toolchain, Qt 6, test and benchmark
# libraries, the lab's network tools and the real TFTP peers of the tests.
PACKAGES := build-essential cmake ninja-build pkg-config \
	qt6-base-dev qt6-base-dev-tools libgl-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	iproute2 procps psmisc tftpd-hpa tftp-hpa atftp curl python3 \
	xvfb xauth fonts-noto-cjk clang libclang-rt-14-dev

.PHONY: all deps build test test-core test-e2e sanitize fuzz bench demo run screenshot clean

all: build

deps:
	@bash tools/install-deps $(PACKAGES)

build:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# Only the tests that need no network namespace.
test-core: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE e2e

test-e2e: build
	cd $(BUILD) && ctest --output-on-failure -L e2e

# AddressSanitizer + UndefinedBehaviorSanitizer, then ThreadSanitizer.
sanitize: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=address
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS) -LE e2e
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -LE e2e

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
