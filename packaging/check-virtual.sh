#!/usr/bin/env bash
# The desktop action's script (lumiboard-virtual) with the built panelsim and
# lumictl and a stand-in lumiboard that waits to be told to end: the first run
# starts one panel, a second run shares it, the panel outlives the first
# lumiboard and stops with the last one, socket and all.
# Usage: check-virtual.sh SCRIPT BUILD_BIN_DIR
set -euo pipefail
script=$(realpath "$1")
bin=$(realpath "$2")
command -v flock >/dev/null || { echo "skipped: flock missing (util-linux)"; exit 77; }

work=$(mktemp -d /tmp/lumi-virtual.XXXXXX)
runs=()
cleanup() {
    touch "$work"/quit-1 "$work"/quit-2 2>/dev/null || true
    local pid
    for pid in "${runs[@]}"; do wait "$pid" 2>/dev/null || true; done
    pkill -u "$(id -u)" -f "panelsim --socket $work/" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
wait_for() {
    local i
    for ((i = 0; i < 100; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

mkdir -m 700 "$work/runtime" "$work/home" "$work/bin"
ln -s "$bin/panelsim" "$bin/lumictl" "$bin/libmpusbapi.so" "$work/bin/"
# The stand-in: says which panel it was given, ends when its quit file appears.
cat >"$work/bin/lumiboard" <<'STANDIN'
#!/bin/sh
n=$(cat "$LUMI_TRY_DIR/next")
echo "$MPUSBAPI_VIRTUAL" >"$LUMI_TRY_DIR/panel-$n"
while [ ! -e "$LUMI_TRY_DIR/quit-$n" ]; do sleep 0.1; done
STANDIN
chmod +x "$work/bin/lumiboard"
sed "s|^bindir=.*|bindir='$work/bin'|" "$script" >"$work/lumiboard-virtual"

panels() { pgrep -u "$(id -u)" -f "panelsim --socket $work/runtime/" | wc -l; }
start() {
    echo "$1" >"$work/next"
    env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_HOME= LUMI_TRY_DIR="$work" \
        sh "$work/lumiboard-virtual" &
    runs+=($!)
    wait_for test -s "$work/panel-$1" || fail "lumiboard $1 did not start"
}

start 1
socket=$(cat "$work/panel-1")
[ "$socket" = "$work/runtime/lumiboard-panel.sock" ] || fail "lumiboard given $socket"
[ -S "$socket" ] || fail "no panel on $socket"
"$bin/lumictl" --virtual "$socket" status >/dev/null || fail "the panel does not answer"
[ -d "$work/home/.local/share/lumiboard" ] || fail "no folder for the panel's memory"

start 2
[ "$(cat "$work/panel-2")" = "$socket" ] || fail "the second run got another panel"
[ "$(panels)" -eq 1 ] || fail "$(panels) panels for two runs"

touch "$work/quit-1"
# The first run started the panel; it now waits for the second one.
sleep 1
[ "$(panels)" -eq 1 ] || fail "the panel stopped while the second lumiboard used it"
"$bin/lumictl" --virtual "$socket" status >/dev/null || fail "the panel stopped answering"

touch "$work/quit-2"
for pid in "${runs[@]}"; do wait "$pid" || fail "a run ended with $?"; done
runs=()
[ "$(panels)" -eq 0 ] || fail "the panel outlived the last lumiboard"
[ ! -e "$socket" ] || fail "the socket stayed"
echo "one panel for two runs, stopped with the last"
