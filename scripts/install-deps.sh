#!/usr/bin/env bash
# Installs the Debian packages Zephrane builds and tests with. Run as root (or through sudo).
set -euo pipefail

packages=(
    cmake ninja-build g++ clang-format
    clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev nlohmann-json3-dev
    python3 python3-mido midicsv
    libfluidsynth-dev fluid-soundfont-gm
    qt6-base-dev qt6-base-dev-tools libgl-dev
    dpkg-dev file appstream
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
