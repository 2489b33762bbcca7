#!/usr/bin/env bash
# Cross-compiles the fluid solver and its tests for ARM64 with Debian's cross compiler and runs
# them under qemu-user: the NEON implementation against the straightforward one, bit for bit.
# As root it installs what is missing; otherwise it prints the apt-get line to run and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-aarch64-linux-gnu qemu-user libgtest-dev cmake ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${BUILD_ARM64:-build-arm64}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DSARVELLO_SOLVER_ONLY=ON
cmake --build "$build" -j "$(nproc)" --target solver_tests
file "$build/bin/solver_tests"
qemu-aarch64 -L /usr/aarch64-linux-gnu "$build/bin/solver_tests"
