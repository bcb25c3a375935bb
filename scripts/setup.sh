#!/usr/bin/env bash
# Installs the Debian packages Ostraline needs to build, run and test, when missing,
# then configures and builds it. Usage: scripts/setup.sh [build-dir] [extra cmake args...]
# OSTRALINE_TARGETS="name ..." builds only those targets (and what they need), not all.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libgl-dev
    libsnmp-dev snmpd
    xvfb xauth xdotool # xdotool: the first-look and package tests press keys on the virtual display
    xdg-utils # Edit device file opens the file with xdg-open
    clang libclang-rt-14-dev # sanitizer and fuzz builds of the test command (libFuzzer)
    clang-format # the test suite checks that the sources follow .clang-format
    dpkg-dev file lintian appstream desktop-file-utils # the Debian package and its test
    librrd-dev rrdtool # history: round-robin files, and the command that reads them back
    qtkeychain-qt6-dev # v3 passphrases in the desktop's keyring
    qt6-wayland weston # the Wayland platform plugin, and a headless compositor to test it
    dbus-daemon gnome-keyring # private session buses for the notification and keyring tests
    prometheus prometheus-snmp-exporter # the Prometheus tests scrape and export for real
    python3 # the hostile test agent
    ccache # rebuilds of unchanged sources come from the cache (also across clones)
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Compiler output cached by content, with paths taken relative to this checkout, so that a
# second clone or a rebuild compiles only what changed.
if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$PWD
fi

build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -G Ninja "$@" >/dev/null
targets=()
for target in ${OSTRALINE_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"
