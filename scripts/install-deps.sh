#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Only missing packages are installed; nothing is downloaded outside apt.
set -euo pipefail

packages=(
    build-essential cmake make pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libmuparser-dev libgsl-dev libtomlplusplus-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang-14 libclang-rt-14-dev clang-format
    xvfb xauth imagemagick fonts-dejavu-core
    libtirpc-dev rpcsvc-proto libsndfile1-dev
    poppler-utils desktop-file-utils ccache locales
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
