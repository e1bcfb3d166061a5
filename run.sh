#!/usr/bin/env bash
# Builds and starts a program of the project.
#   ./run.sh              lumiboard on the virtual panel (panelsim), started and stopped here,
#                         with the panel's LED face beside it ("Panneau virtuel")
#   ./run.sh --no-face    the same without the panel's face
#   ./run.sh --usb        lumiboard on the real USB panel
#   ./run.sh glyphsmith   the font table generator
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

program=lumiboard
usb=0
face=(--show)
for arg in "$@"; do
    case "$arg" in
    --usb) usb=1 ;;
    --no-face) face=() ;;
    glyphsmith | lumiboard) program=$arg ;;
    *)
        echo "usage: $0 [--usb | --no-face] [lumiboard|glyphsmith]" >&2
        exit 2
        ;;
    esac
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display found (DISPLAY and WAYLAND_DISPLAY are unset): start it from a desktop session." >&2
    exit 1
fi

lumi_ensure_deps
lumi_build build
cd build/bin

if [ "$program" = lumiboard ] && [ "$usb" = 0 ]; then
    data="${XDG_DATA_HOME:-$HOME/.local/share}/lumiboard"
    rundir="${XDG_RUNTIME_DIR:-}"
    if [ -z "$rundir" ] || [ ! -w "$rundir" ]; then
        rundir=$(mktemp -d /tmp/panelsim.XXXXXX)
    fi
    mkdir -p "$data"
    sock="$rundir/panelsim-run-$$.sock"
    ./panelsim --socket "$sock" --state "$data/panel-state" ${face[@]+"${face[@]}"} &
    sim=$!
    trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do
        [ -S "$sock" ] && break
        sleep 0.1
    done
    MPUSBAPI_VIRTUAL="$sock" ./lumiboard
elif [ "$program" = lumiboard ]; then
    # --usb is the real panel, never a virtual one left in the environment.
    exec env -u MPUSBAPI_VIRTUAL ./lumiboard
else
    exec "./$program"
fi
