#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing; given
# package names, those instead (the fuzzing and the ARM64 check bring their own).
# As root it runs apt-get; otherwise it prints the apt-get line to run and fails.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev librsvg2-dev libcairo2-dev nlohmann-json3-dev
  zlib1g-dev bootstrap-icons fonts-dejavu-core
  chromium nodejs
)
[ $# -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The browser tests' runner comes from npm, which some Node.js packages bring with them.
if [ $# -eq 0 ] && ! command -v npm >/dev/null 2>&1; then missing+=(npm); fi

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
