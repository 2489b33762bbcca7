#!/usr/bin/env bash
# Cross-compiles the fluid solver and its tests for ARM64 with Debian's cross compiler and runs
# them under qemu-user: the NEON implementation against the straightforward one, bit for bit.
# It installs what is missing, as the other set-up commands do.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh g++-aarch64-linux-gnu qemu-user libgtest-dev cmake ninja-build

build=${BUILD_ARM64:-build-arm64}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DSARVELLO_SOLVER_ONLY=ON
cmake --build "$build" -j "$(nproc)" --target solver_tests
qemu-aarch64 -L /usr/aarch64-linux-gnu "$build/bin/solver_tests"
