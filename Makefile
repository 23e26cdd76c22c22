# Thin front door: every target installs what is missing, configures and builds.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all deps configure build run demo test bench clean

all: build

deps:
	@bash scripts/setup-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/app/velkarn3

# The same binary, with the simulated meter in front of the real libusb-0.1.
demo: build
	LD_LIBRARY_PATH=$(CURDIR)/$(BUILD)/sim ./$(BUILD)/app/velkarn3

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b; done

# Sanitizers and fuzzing. test-asan: the program and every test built with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/, failing on
# any report (third-party leaks only are suppressed by tests/lsan.supp).
# fuzz: the libFuzzer harnesses of fuzz/, built with clang in build-fuzz/,
# each run for FUZZ_SECONDS on its seeds.
ASAN_BUILD   ?= build-asan
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 30
.PHONY: test-asan fuzz

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARN_SANITIZE=ON >/dev/null
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
	@bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
