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
    own_rundir=
    sim=
    ui=
    # Whatever ends this script (lumiboard closed, Ctrl+C, kill, the terminal
    # closed): what was started here stops, and a folder made here goes.
    cleanup() {
        if [ -n "$ui" ]; then
            kill "$ui" 2>/dev/null || true
            wait "$ui" 2>/dev/null || true
        fi
        if [ -n "$sim" ]; then
            kill "$sim" 2>/dev/null || true
            wait "$sim" 2>/dev/null || true
        fi
        if [ -n "$own_rundir" ]; then
            rm -rf "$own_rundir"
        fi
    }
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    if [ -z "$rundir" ] || [ ! -w "$rundir" ]; then
        rundir=$(mktemp -d /tmp/panelsim.XXXXXX)
        own_rundir=$rundir
    fi
    mkdir -p "$data"
    sock="$rundir/panelsim-run-$$.sock"
    ./panelsim --socket "$sock" --state "$data/panel-state" ${face[@]+"${face[@]}"} &
    sim=$!
    for _ in $(seq 50); do
        [ -S "$sock" ] && break
        sleep 0.1
    done
    # Waited for in the background, so that a signal to this script is acted
    # on at once rather than once lumiboard has closed.
    MPUSBAPI_VIRTUAL="$sock" ./lumiboard &
    ui=$!
    status=0
    wait "$ui" || status=$?
    ui=
    exit "$status"
elif [ "$program" = lumiboard ]; then
    # --usb is the real panel, never a virtual one left in the environment.
    exec env -u MPUSBAPI_VIRTUAL ./lumiboard
else
    exec "./$program"
fi
