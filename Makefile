# The two commands of the README: `make demo` and `make test`.
# Both install what is missing, configure and build first.

BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan test test-unit test-asan demo bench check-arm64 clean

all: build

deps:
	@./scripts/install-deps.sh

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

demo: build
	./$(BUILD)/bin/sarvello-host demo --out out

bench: build
	./$(BUILD)/bin/sarvello-bench

# The solver and its tests cross-compiled for ARM64 and run under qemu-user.
check-arm64:
	./scripts/check-arm64.sh

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) build-arm64
