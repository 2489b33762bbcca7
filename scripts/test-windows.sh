#!/usr/bin/env bash
# The Windows build: the module as a Windows DLL and the stand-in host's core, cross-compiled with
# Debian's mingw-w64, and their tests run under Wine (64-bit, headless, in a prefix of its own
# inside the build folder). It installs what is missing, as the other set-up commands do.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 googletest nlohmann-json3-dev \
  cmake ninja-build

build=${BUILD_WINDOWS:-build-windows}
jobs=${JOBS:-$(nproc)}
mkdir -p "$build"
# No display and no downloads: Wine would otherwise offer to fetch its .NET and HTML engines.
export WINEPREFIX="$(cd "$build" && pwd)/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# A new prefix is written by the server of its first start, which has to end before the one of
# the tests starts.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
# One Wine server for the build (which runs the resource compiler) and every test, with Wine's own
# services started now: started by the first program, they would hold its output open.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot >/dev/null 2>&1

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
