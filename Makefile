# Thin front door: every target installs what is missing, configures and builds.
# Where make itself is missing, ./make.sh installs it first and runs make.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all deps configure build run demo test bench soak package clean test-windows test-usb test-fresh

all: build

deps:
	@bash scripts/setup-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/app/velkarn3

# The same binary, with the simulated meter in front of the real libusb-0.1;
# its spectrum rises and falls as while the dish is swung, so that the holds
# have something to hold, and it shows the real sky of 13.0E through an LNB
# whose oscillator is 2 MHz high, the swing carrying the dish across the
# neighbouring positions (the VELKARN_SIM_* variables are read by the
# simulated library only).
demo: build
	VELKARN_SIM_SWING=1 VELKARN_SIM_SKY=13.0E VELKARN_SIM_LNB_DRIFT=2 LD_LIBRARY_PATH=$(CURDIR)/$(BUILD)/sim ./$(BUILD)/app/velkarn3

test: build
	@bash scripts/setup-deps.sh audio
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# End to end through a real kernel USB stack: the shipped program and the real
# libusb-0.1 against the meter emulated as a USB gadget in a qemu VM (see
# README.md). Ends with one summary line; non-zero on failure.
# Builds only what the VM runs: the program, the emulated meter and the
# programs that drive the real libusb-0.1.
USB_TARGETS = velkarn3 usb_gadget_meter usb_link_tests usb_link_bench usb_x11_probe
test-usb:
	@bash scripts/setup-deps.sh usbvm
	@$(MAKE) --no-print-directory configure
	@cmake --build $(BUILD) -j $(JOBS) --target $(USB_TARGETS)
	@bash tests/usb/run.sh $(BUILD)

bench: build
	@cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@for b in $(BUILD)/bench/bench_*; do \
		[ -f "$$b" ] && [ -x "$$b" ] || continue; \
		echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; \
	done
	@echo "== bench/tick_under_x.sh"; bash bench/tick_under_x.sh $(BUILD)

# The fault soak alone (it also runs in make test); another schedule or a
# longer run: make soak SOAK_SEED=7 SOAK_STEPS=60000
soak: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen SOAK_SEED=$(SOAK_SEED) SOAK_STEPS=$(SOAK_STEPS) \
		./tests/gui_tests --gtest_filter='FaultSoak.*'

# The Debian package: build/velkarn3-pano_<version>_<arch>.deb
package: build
	cd $(BUILD) && cpack -G DEB

# Sanitizers and fuzzing. test-asan: the program and every test built with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/, failing on
# any report (third-party leaks only are suppressed by tests/lsan.supp); at
# -O1 with debug information, as AddressSanitizer's reports are best there.
# fuzz: the libFuzzer harnesses of fuzz/, built with clang in build-fuzz/,
# each run for FUZZ_SECONDS on its seeds, one a core at a time.
ASAN_BUILD   ?= build-asan
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 30
.PHONY: test-asan fuzz

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARN_SANITIZE=ON \
	  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
	  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

fuzz:
	@bash scripts/setup-deps.sh fuzz
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARN_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

clean:
	rm -rf $(BUILD)

# Windows. qt-windows: static Qt for MinGW-w64, built once per machine from
# Debian's qtbase source into ~/.cache/velkarn3 (prints its build time).
# windows: the whole program cross-built into build-windows/ (velkarn3.exe,
# the simulated libusb0.dll, the tests, velkarn3-pano-<version>-setup.exe).
# test-windows: all of it proven under Wine in a fresh prefix, with the
# count of the cross-built tests beside the Linux count of the same tests.
WIN_BUILD ?= build-windows
.PHONY: qt-windows windows
qt-windows:
	@bash scripts/setup-deps.sh windows
	@bash scripts/build-qt-windows.sh $(JOBS) >/dev/null

windows: qt-windows
	@bash scripts/build-windows.sh $(WIN_BUILD) $(JOBS)

test-windows: qt-windows
	@bash scripts/test-windows.sh $(WIN_BUILD) $(JOBS) $(BUILD)

# The README's set-up commands, as they stand, on freshly bootstrapped minimal
# Debian 12 and 13 roots, each thrown away afterwards (as root; see
# scripts/test-fresh.sh). Every suite runs; fails if any failed. (Run side
# by side, the two took as long as one after the other: both are CPU-bound.)
FRESH_SUITES ?= bookworm trixie
test-fresh:
	@rc=0; for s in $(FRESH_SUITES); do bash scripts/test-fresh.sh $$s || rc=1; done; exit $$rc
