# The two commands of the README: `make demo` and `make test`.
# Both install what is missing, configure and build first.

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_WINDOWS ?= build-windows
BUILD_MACOS ?= build-macos
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan test test-unit test-asan test-windows test-macos-variant demo bench \
        bench-page check-arm64 fuzz soak clean

all: build

deps:
	@./scripts/install-deps.sh
	@./scripts/install-npm.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSARVELLO_SANITIZE=ON -DSARVELLO_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_ASAN) -j $(JOBS)

# Every test, then the same tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build build-asan
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

test-unit: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The module as a Windows DLL and the stand-in host's core, cross-compiled with mingw-w64; their
# tests run under Wine (installed here, not by the other commands).
test-windows:
	BUILD_WINDOWS=$(BUILD_WINDOWS) JOBS=$(JOBS) ./scripts/test-windows.sh

# Everything built and tested on Linux with the macOS variant of the host interface: 16-bit view
# rectangles and points, in that platform's order.
test-macos-variant: deps
	cmake -S . -B $(BUILD_MACOS) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARVELLO_PLATFORM=macos -DSARVELLO_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_MACOS) -j $(JOBS)
	ctest --test-dir $(BUILD_MACOS) --output-on-failure -j $(JOBS)

demo: build
	./$(BUILD)/bin/sarvello-host demo --out out

bench: build
	./$(BUILD)/bin/sarvello-bench

# The page of `sarvello-host open` in Debian's chromium: frames a second and pointer latency.
bench-page: build
	SARVELLO_HOST=$(BUILD)/bin/sarvello-host node bench/page.mjs

# The solver and its tests cross-compiled for ARM64 and run under qemu-user.
check-arm64:
	./scripts/check-arm64.sh

# libFuzzer over every parser of outside input and the whole pipeline, FUZZ_SECONDS per target,
# built with Debian's clang (installed here, not by the other commands).
fuzz: deps
	@./scripts/install-deps.sh clang libclang-rt-14-dev
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARVELLO_FUZZ=ON -DSARVELLO_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz_all
	./scripts/run-fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

# The long replay: SOAK_TICKS timer ticks with strokes throughout; the host's accounting and the
# resident memory are printed at intervals and must not grow after the warm-up.
SOAK_TICKS ?= 20000
soak: build
	./$(BUILD)/bin/sarvello-soak --ticks $(SOAK_TICKS)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_WINDOWS) $(BUILD_MACOS) build-arm64
