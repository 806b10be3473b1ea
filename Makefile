# Quillane — build, test and lab entry points.  `make test` is what CI runs.
SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the project needs: toolchain, Qt 6, test and benchmark
# libraries, the lab's network tools, the real TFTP peers of the tests, the
# fuzzing compiler and the formatter; for the Ansible collection its engine,
# pytest, and the SSH client and server of the lab of many sites (the server
# is only ever started inside a lab namespace; its package's own service is
# kept from starting by tools/install-deps).
PACKAGES := build-essential cmake ninja-build pkg-config \
	qt6-base-dev qt6-base-dev-tools libgl-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	iproute2 procps psmisc tftpd-hpa tftp-hpa atftp curl python3 \
	xvfb xauth fonts-noto-cjk clang libclang-rt-14-dev clang-format \
	ansible-core python3-pytest openssh-client openssh-server

# What the Windows build needs: the mingw-w64 cross compiler (POSIX
# threads), wine64 to run its tests, the locale sources for the tests under
# the Chinese code page, and for the native window's tests a private X server
# with a font that has the Chinese captions. The window's lab test and
# pictures add fontconfig (which finds that font for wine), wine's own fonts
# (the window frames' buttons are drawn with Marlett), the lab's network tools
# and python3, and the native compiler for the lab's simulated devices. The
# packages (make package-windows) and their test need msitools' wixl and
# msiinfo, zip, osslsigncode and openssl (the test's throwaway certificate).
WINDOWS_PACKAGES := cmake ninja-build libgtest-dev g++-mingw-w64-x86-64-posix wine64 locales \
	xvfb fonts-noto-cjk fonts-wine fontconfig iproute2 procps python3 g++ \
	wixl msitools zip osslsigncode openssl
WINDOWS_BUILD ?= build-windows

.PHONY: all deps build test test-core test-e2e sanitize fuzz bench demo demo-windows run screenshot clean format format-check \
	windows-deps windows test-windows screenshot-windows package-windows

all: build

deps:
	@bash tools/install-deps $(PACKAGES)

build:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Source checks that `make test` runs besides the test programs: an
# unformatted file fails the run (`make format` mends it).
TEST_CHECKS := format-check

test: deps build $(TEST_CHECKS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The core library, its tests, the command-line tool, the native window
# ($(WINDOWS_BUILD)/win32/quillane.exe) and the simulator's parts for 64-bit
# Windows, cross-compiled with mingw-w64 (no benchmarks: Debian has no Google
# Benchmark for it); GoogleTest is built from Debian's sources.
windows-deps:
	@bash tools/install-deps $(WINDOWS_PACKAGES)

windows: windows-deps
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_BUILD_BENCHMARKS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# Those tests under wine64 (the window's on a private Xvfb); lab and
# Linux-only tests are listed as skipped.
test-windows: windows
	bash tools/windows/test $(WINDOWS_BUILD) $(JOBS)

# The Windows packages in $(WINDOWS_BUILD)/packages: the portable zip and the
# per-user MSI, quillane-VERSION-windows-x64.{zip,msi} (VERSION: the file
# VERSION). SIGN_CERT=cert.pem SIGN_KEY=key.pem sign both programs and the MSI
# (osslsigncode; SIGN_TIMESTAMP_URL adds a time stamp); without them the
# packages are unsigned and the build says so.
package-windows: windows
	SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" SIGN_TIMESTAMP_URL="$(SIGN_TIMESTAMP_URL)" \
	  bash tools/windows/package $(WINDOWS_BUILD) $(WINDOWS_BUILD)/packages

# The Windows window as wine draws it, as PNG files in
# $(WINDOWS_BUILD)/screenshots: the main window and the IP settings dialog in
# both languages, and the About box; both windows again on a 144-DPI screen.
# A private Xvfb; no network service is started (the window runs with sample
# rows and no services), so no root.
screenshot-windows: windows
	rm -rf $(WINDOWS_BUILD)/screenshots
	bash tools/windows/screenshot $(WINDOWS_BUILD) $(WINDOWS_BUILD)/screenshots

# Only the tests that need no network namespace.
test-core: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE e2e

test-e2e: build
	cd $(BUILD) && ctest --output-on-failure -L e2e

# AddressSanitizer + UndefinedBehaviorSanitizer, then ThreadSanitizer.
#
# die_after_fork=0: QProcess starts its child with a vfork-like clone that
# shares the parent's memory, so ThreadSanitizer takes the parent for the child
# of a fork and would end it at its next thread (seen after the stop-signal UI
# test). The children exec at once.
TSAN_TEST_OPTIONS := halt_on_error=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp
sanitize: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=address
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS) -LE e2e
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS="$(TSAN_TEST_OPTIONS)" ctest --output-on-failure -j $(JOBS) -LE e2e

# libFuzzer targets in fuzz/ (clang, AddressSanitizer), built by CMake with
# QUILLANE_FUZZ, each run FUZZ_SECONDS on its own corpus in build-fuzz/, started
# from the seeds in fuzz/corpus/<target> when the repository has some. Not
# part of `make test`.
FUZZ_SECONDS ?= 180
FUZZ_TARGETS := $(basename $(notdir $(wildcard fuzz/*_fuzz.cpp)))
fuzz: deps
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/$$t-corpus; \
	  build-fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) build-fuzz/$$t-corpus $$(ls -d fuzz/corpus/$$t 2>/dev/null) || exit 1; \
	done

# Formats every C++ source of the repository with .clang-format; format-check
# lists the files that differ from their formatted form and fails if any does.
format: deps
	bash tools/format-check --fix

format-check: deps
	bash tools/format-check

# Benchmarks: the programs in bench/, then (as root) the lab measurements.
# Figures go to the terminal; nothing here is a pass/fail test.
bench: build
	$(BUILD)/bench/udp_endpoint_bench
	$(BUILD)/bench/bench_profile
	$(BUILD)/bench/device_table_bench
	$(BUILD)/bench/plan_bench
	bash bench/find_bench.sh
	bash bench/change_bench.sh 1000 3
	bash bench/cli_search_bench.sh 5000 3
	bash bench/bench_search.sh 5000 3
	bash bench/tftp_compare.sh
	bash bench/upgrade_bench.sh
	bash bench/reply_flood.sh
	bash bench/tftp_flood.sh
	bash bench/ansible_sites_bench.sh 1000 3

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) build-asan build-tsan build-fuzz

# Windows of the tool as PNG files in $(BUILD)/screenshots: the main window in
# both languages, the IP settings dialog and the About box. No network service
# is started (a separate program builds the windows without them).
screenshot: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target quillane_screenshot
	rm -rf $(BUILD)/screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD)/ui/quillane_screenshot $(BUILD)/screenshots

# The tool in a lab: simulated devices in one network namespace, the tool in
# the other, shown on $$DISPLAY (or on a private Xvfb when there is none).
# The range fields hold the lab's devices and a sample firmware image is the
# chosen file, as in demo-windows, so a range search and Upgrade work at once.
# Everything is removed when the window closes or on Ctrl+C. Needs root (sudo).
DEMO_DEVICES ?= 40
DEMO_LANGUAGE ?= 1
# The devices' standby server: a real address, so that Modify IP, which starts
# from the first chosen device's settings, can be confirmed as it opens.
DEMO_STANDBY ?= 10.77.0.2
SUDO := $(if $(filter 0,$(shell id -u)),,sudo -E)
demo: deps build
	@if [ ! -x tools/lab/lab ] || [ ! -x $(BUILD)/tools/devsim/devsim ]; then \
	  echo "make demo: the lab (tools/lab/lab) or the device simulator ($(BUILD)/tools/devsim/devsim) is missing in this tree"; \
	  exit 1; fi
	@set -e; name=qdemo$$$$; appdir=$$(mktemp -d); xvfb=; \
	  cleanup() { [ -n "$$xvfb" ] && kill $$xvfb 2>/dev/null; $(SUDO) tools/lab/lab down $$name >/dev/null 2>&1; rm -rf "$$appdir"; }; \
	  trap cleanup EXIT; trap 'exit 130' INT TERM; \
	  eval "$$($(SUDO) tools/lab/lab up $$name --devices $(DEMO_DEVICES))"; \
	  QUILLANE_BUILD_DIR=$(abspath $(BUILD)) $(SUDO) tools/lab/lab devsim $$name --standby $(DEMO_STANDBY) >/dev/null; \
	  cp $(BUILD)/ui/quillane "$$appdir/"; \
	  printf '[LANGUAGE]\r\nCurLanguage=$(DEMO_LANGUAGE)\r\n' > "$$appdir/Config.ini"; \
	  firmware="$$appdir/firmware/sample-2.0.bin"; mkdir -p "$$appdir/firmware"; \
	  head -c $$((512 * 1024)) /dev/urandom > "$$firmware"; \
	  IFS=. read -r a b c d <<< "$$DEV_FIRST_IP"; first=$$(((a << 24) | (b << 16) | (c << 8) | d)); \
	  printf '[Quillane]\r\nStartIP=%d\r\nEndIP=%d\r\nUpdateProPath=%s\r\n' "$$first" "$$((first + DEV_COUNT - 1))" \
	    "$$firmware" > "$$appdir/Quillane.ini"; \
	  echo "Chosen firmware: $$firmware; the range fields hold the lab's devices."; \
	  display=$$DISPLAY; \
	  if [ -z "$$display" ]; then \
	    n=99; while [ -e /tmp/.X11-unix/X$$n ]; do n=$$((n+1)); done; display=:$$n; \
	    Xvfb $$display -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$$!; sleep 1; \
	    echo "No DISPLAY: the tool runs on Xvfb $$display (xwd -root -display $$display takes a picture); Ctrl+C ends the demo."; \
	  fi; \
	  echo "Lab $$name: $(DEMO_DEVICES) simulated devices; the tool starts in the lab's workstation namespace."; \
	  $(SUDO) tools/lab/lab exec $$name ws -- env DISPLAY=$$display XAUTHORITY=$${XAUTHORITY:-$$HOME/.Xauthority} "$$appdir/quillane"

# The Windows window under wine in the same kind of lab (root): Xvfb and the
# wine server start inside the lab's workstation namespace.
demo-windows: windows
	@$(SUDO) bash tools/windows/demo $(WINDOWS_BUILD) $(DEMO_DEVICES) $(DEMO_LANGUAGE) $(DEMO_STANDBY)

# The tool on this workstation's real network, for an operator with real
# devices. It answers boot requests and serves TFTP on the LAN: never use it on
# a machine whose network carries equipment that must not be disturbed.
run: deps build
	@if [ "$(CONFIRM)" != yes ]; then \
	  read -r -p "Open Quillane on this workstation's real network? [yes/NO] " answer || exit 1; \
	  [ "$$answer" = yes ] || exit 1; fi
	@echo "The device ports 67 and 69 need root or CAP_NET_BIND_SERVICE; without them those services stay off."
	$(BUILD)/ui/quillane
