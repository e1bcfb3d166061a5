#!/usr/bin/env bash
# Whole-process CPU of lumiboard while its preview scrolls, beside the floor
# program (cpu_floor), both on one Xvfb screen at the same time:
#   bench/preview/cpu_side_by_side.sh [build dir, default build] [seconds, default 60] [scale] [cpu]
# With a cpu number both programs run on that one CPU (taskset): on a small
# virtual machine the cost of waking up differs from one CPU to another by
# more than the programs differ, and pinning both alike takes that out.
# Reads utime + stime of each process from /proc/<pid>/stat before and after
# the same window of time and prints each as a share of one core. Those count
# in clock ticks, which a program waking every 50 ms for well under a tick
# samples coarsely; the run time the scheduler keeps in nanoseconds
# (/proc/<pid>/task/*/schedstat, every thread) is printed beside them.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
scale=${3:-1}
cpu=${4:-}
pin=()
[ -n "$cpu" ] && pin=(taskset -c "$cpu")
warmup=5

display=""
for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free display" >&2; exit 1; }

pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
done

export DISPLAY=$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale
# No panel: lumiboard says so once; the dialog is closed before measuring.
unset MPUSBAPI_VIRTUAL
(cd "$build/bin" && exec ${pin[@]+"${pin[@]}"} ./lumiboard) >/dev/null 2>&1 &
lumiboard=$!
pids+=($lumiboard)
${pin[@]+"${pin[@]}"} "$build/bench/cpu_floor" >/dev/null 2>&1 &
floor=$!
pids+=($floor)

sleep 2
for _ in 1 2 3; do
    # Enter answers the start-up message, wherever the focus is.
    xdotool key Return >/dev/null 2>&1 || true
    sleep 0.5
done
sleep "$warmup"

ticks() {  # utime + stime of the whole process, in clock ticks
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}
runtime() {  # nanoseconds on a CPU, all threads
    # %.0f, not %d: mawk's %d stops at 2^31, about 2.1 s of run time.
    cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { printf "%.0f", sum }'
}
l0=$(ticks "$lumiboard"); f0=$(ticks "$floor")
ln0=$(runtime "$lumiboard"); fn0=$(runtime "$floor")
sleep "$seconds"
l1=$(ticks "$lumiboard"); f1=$(ticks "$floor")
ln1=$(runtime "$lumiboard"); fn1=$(runtime "$floor")
hz=$(getconf CLK_TCK)
[ -z "$cpu" ] || echo "both programs on CPU $cpu"
awk -v l=$((l1 - l0)) -v f=$((f1 - f0)) -v hz="$hz" -v s="$seconds" -v scale="$scale" \
    -v ln=$((ln1 - ln0)) -v fn=$((fn1 - fn0)) 'BEGIN {
    lp = 100 * l / hz / s; fp = 100 * f / hz / s
    printf "scale %s, %d s, /proc/<pid>/stat:      lumiboard %.2f %% of a core, floor %.2f %%, ratio %.2f\n",
        scale, s, lp, fp, (fp > 0 ? lp / fp : 0)
    lq = 100 * ln / 1e9 / s; fq = 100 * fn / 1e9 / s
    printf "scale %s, %d s, /proc/<pid>/schedstat: lumiboard %.2f %% of a core, floor %.2f %%, ratio %.2f\n",
        scale, s, lq, fq, (fq > 0 ? lq / fq : 0)
}'
