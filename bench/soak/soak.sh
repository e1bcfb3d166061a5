#!/usr/bin/env bash
# Soak: two lumictl loops sending and verifying their own texts and reading
# the panel, and a third syncing its clock and switching its alarm, all on
# one panelsim. Any wrong reply (a read that is none of the texts sent, a
# verify that differs, an alarm change lost) or failure is counted; panelsim's
# memory and descriptors are sampled at the start and the end.
#   bench/soak/soak.sh [CYCLES] [BIN]     (defaults: 2000, build/bin)
set -uo pipefail
cycles=${1:-2000}
bin=${2:-build/bin}
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$work"' EXIT
"$bin/panelsim" --socket "$work/panel.sock" 2>"$work/panelsim.log" &
sim=$!
for _ in $(seq 100); do [ -S "$work/panel.sock" ] && break; sleep 0.05; done
export MPUSBAPI_VIRTUAL="$work/panel.sock" XDG_STATE_HOME="$work/state"
sample() { echo "$(awk '/VmRSS/ {print $2}' /proc/$sim/status) kB, $(ls /proc/$sim/fd | wc -l) fds"; }
echo "panelsim at start: $(sample)"

texts() { echo "un texte de A $1"; echo "un texte de B $1"; }
loop() {
    local who=$1 wrong=0 failed=0 i text got
    for i in $(seq "$cycles"); do
        text="un texte de $who $((i % 7))"
        "$bin/lumictl" --quiet send --verify "$text" 2>>"$work/$who.err" || failed=$((failed + 1))
        got=$("$bin/lumictl" read 2>>"$work/$who.err") || { failed=$((failed + 1)); continue; }
        [[ "$got" =~ ^un\ texte\ de\ [AB]\ [0-6]$ ]] || wrong=$((wrong + 1))
    done
    echo "$who: $cycles cycles, $wrong wrong replies, $failed failures"
}
clockLoop() {
    local wrong=0 failed=0 i state
    for i in $(seq "$cycles"); do
        if ((i % 2)); then
            "$bin/lumictl" --quiet alarm off 2>>"$work/C.err" || failed=$((failed + 1))
            state=off
        else
            "$bin/lumictl" --quiet alarm 06:45 2>>"$work/C.err" || failed=$((failed + 1))
            state="06:45 on"
        fi
        "$bin/lumictl" --quiet clock --sync 2>>"$work/C.err" || failed=$((failed + 1))
        # The sync keeps the alarm as it was: a lost update shows here.
        got=$("$bin/lumictl" clock 2>>"$work/C.err" | sed -n 2p) || failed=$((failed + 1))
        [[ "$state" == off && "$got" == *" off" ]] || [[ "$got" == "$state" ]] || wrong=$((wrong + 1))
    done
    echo "C (clock): $cycles cycles, $wrong wrong replies, $failed failures"
}
loop A & a=$!
loop B & b=$!
clockLoop & c=$!
wait "$a" "$b" "$c"
echo "panelsim at end: $(sample)"
sort "$work"/*.err | uniq -c | sort -rn | head -5
