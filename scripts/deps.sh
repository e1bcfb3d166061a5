#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
# Sourced by run.sh and test.sh; uses sudo when not root.
lumi_ensure_deps() {
    local pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
        libusb-1.0-0-dev libgif-dev libbenchmark-dev umockdev libumockdev-dev fonts-dejavu-core fonts-dejavu-extra
        fonts-liberation python3 clang-format git dpkg-dev appstream xvfb xdotool imagemagick
        debhelper lintian qt6-translations-l10n
        libicu-dev
        libfreetype-dev xfonts-base
        libmosquitto-dev mosquitto mosquitto-clients openssl
        "$@")
    local missing=()
    local p
    for p in "${pkgs[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# lumi_build DIR [cmake options...] [-- targets...]: configure once, then build
# the targets (everything by default).
lumi_build() {
    local dir=$1
    shift
    local opts=() targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        opts+=("$1")
        shift
    done
    [ $# -gt 0 ] && shift && targets=("$@")
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja "${opts[@]}"
    fi
    cmake --build "$dir" -j "$(nproc)" ${targets[@]+--target "${targets[@]}"}
}
