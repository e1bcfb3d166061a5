#!/usr/bin/env bash
# Installs the build into a scratch prefix and starts the installed programs as a
# user would: from an unrelated folder, with an empty LD_LIBRARY_PATH and the
# RUNPATH the install gave them, on a screen of their own (Xvfb).
# lumiboard must bind its library (it asks whether to read the panel, which only
# happens once the library is bound and panelsim answered its presence test),
# draw lit and unlit LEDs from its installed pictures, and read the panel's text
# and clock through panelsim. glyphsmith must show its window.
# Usage: check-installed.sh BUILD_DIR CMAKE   (exit 77: skipped)
set -euo pipefail
build=$(realpath "$1")
cmake=${2:-cmake}

for tool in Xvfb xdotool import convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (apt-get install xvfb xdotool imagemagick)"
        exit 77
    fi
done

work=$(mktemp -d /tmp/lumi-installed.XXXXXX)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Polls a command for up to $1 seconds.
wait_for() {
    local seconds=$1
    shift
    local i
    for ((i = 0; i < seconds * 10; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
bin=$prefix/bin
for program in lumiboard glyphsmith panelsim; do
    [ -x "$bin/$program" ] || fail "$bin/$program not installed"
done
if grep -q '^Path=' "$prefix"/share/applications/*.desktop; then
    fail "a desktop entry names a folder: $(grep -H '^Path=' "$prefix"/share/applications/*.desktop)"
fi

Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=:$(head -n1 "$work/display")
x() { DISPLAY=$display "$@"; }
# The screen must take clients before the programs start.
wait_for 10 x xdotool getdisplaygeometry >/dev/null 2>&1 ||
    fail "Xvfb on $display takes no client: $(cat "$work/xvfb.log")"

"$bin/panelsim" --socket "$work/panel.sock" --log "$work/panel.log" >/dev/null &
pids+=($!)
wait_for 10 test -S "$work/panel.sock" || fail "panelsim did not start"

# An unrelated working folder: no pictures, no library.
mkdir "$work/elsewhere"
mkdir -m 700 "$work/runtime"
user_env=(env -i PATH=/usr/bin:/bin HOME="$work/elsewhere" LD_LIBRARY_PATH=
    XDG_RUNTIME_DIR="$work/runtime" DISPLAY="$display" QT_QPA_PLATFORM=xcb)
(cd "$work/elsewhere" &&
    exec "${user_env[@]}" MPUSBAPI_VIRTUAL="$work/panel.sock" "$bin/lumiboard") \
    >"$work/lumiboard.log" 2>&1 &
lumiboard=$!
pids+=("$lumiboard")

windows_of() { x xdotool search --onlyvisible --pid "$1" 2>/dev/null || true; }
titles_of() {
    local w
    for w in $(windows_of "$1"); do x xdotool getwindowname "$w"; done
}
asking() { [[ $'\n'$(titles_of "$lumiboard")$'\n' == *$'\nConfirmation\n'* ]]; }
if ! wait_for 30 asking; then
    x import -window root "$work/failed.png" 2>/dev/null || true
    fail "lumiboard did not ask to read the panel; its windows: $(titles_of "$lumiboard" | tr '\n' '|')" \
        "$(cat "$work/lumiboard.log")"
fi

# The preview ticks on while the question is open; let the welcome text come in.
sleep 3
x import -window root "$work/shot.png"
histogram=$(convert "$work/shot.png" -format %c histogram:info:-)
pixels() { awk -v c="$1" 'toupper($0) ~ c { sum += $1 } END { print sum + 0 }' <<<"$histogram"; }
# Colours found only in one picture each: 4 of a lit LED's pixels, 8 of an unlit's.
lit=$(($(pixels '#0D278E') / 4))
unlit=$(($(pixels '#A6A6A8') / 8))
echo "LEDs seen: $lit lit, $unlit unlit"
[ "$lit" -ge 5 ] || fail "no lit LEDs drawn ($lit)"
[ "$unlit" -ge 50 ] || fail "no unlit LEDs drawn ($unlit)"

# Yes: the start-up reads of text and clock go through the installed library.
dialog=$(for w in $(windows_of "$lumiboard"); do
    [ "$(x xdotool getwindowname "$w")" = Confirmation ] && echo "$w"
done | head -n1)
x xdotool windowfocus --sync "$dialog"
x xdotool key Return
read_both() { grep -q ' OUT 85 ' "$work/panel.log" && grep -q ' OUT 43 ' "$work/panel.log"; }
wait_for 15 read_both || fail "no text and clock read reached panelsim: $(cat "$work/panel.log")"
kill -0 "$lumiboard" 2>/dev/null || fail "lumiboard ended: $(cat "$work/lumiboard.log")"
echo "lumiboard: library bound, LEDs drawn, text and clock read through panelsim"

# glyphsmith with its own folder read-only, as installed for a user: fonts.txt
# goes into the working folder. Root writes anywhere, so it gets a read-only
# view of the folder in a mount namespace of its own.
readonly_bin=()
if [ "$(id -u)" -ne 0 ]; then
    chmod a-w "$bin"
elif unshare -m true 2>/dev/null; then
    readonly_bin=(unshare -m sh -c 'mount --bind "$1" "$1" && mount -o remount,ro,bind "$1" &&
        shift && exec "$@"' sh "$bin")
else
    echo "note: no mount namespace here; glyphsmith saves into its own folder"
fi
(cd "$work/elsewhere" && exec "${readonly_bin[@]}" "${user_env[@]}" "$bin/glyphsmith") \
    >"$work/glyphsmith.log" 2>&1 &
glyphsmith=$!
pids+=("$glyphsmith")
shown() { [ -n "$(windows_of "$glyphsmith")" ]; }
wait_for 30 shown || fail "glyphsmith showed no window: $(cat "$work/glyphsmith.log")"
kill -0 "$glyphsmith" 2>/dev/null || fail "glyphsmith ended: $(cat "$work/glyphsmith.log")"
echo "glyphsmith: window shown: $(titles_of "$glyphsmith" | head -n1)"

# "Sauver fonts.txt" (at 8,214, 176 x 24 in the window).
if [ ${#readonly_bin[@]} -gt 0 ] || [ "$(id -u)" -ne 0 ]; then
    window=$(windows_of "$glyphsmith" | head -n1)
    x xdotool mousemove --sync --window "$window" 96 226 click 1
    saved_elsewhere() { [ -s "$work/elsewhere/fonts.txt" ]; }
    if ! wait_for 15 saved_elsewhere; then
        x import -window root "$work/failed.png" 2>/dev/null || true
        fail "glyphsmith saved no fonts.txt in its working folder: $(cat "$work/glyphsmith.log")"
    fi
    [ ! -e "$bin/fonts.txt" ] || fail "fonts.txt written into the read-only program folder"
    grep -q '^const rom chr car\[255\] = {' "$work/elsewhere/fonts.txt" ||
        fail "fonts.txt does not hold the table: $(head -c 200 "$work/elsewhere/fonts.txt")"
    echo "glyphsmith: fonts.txt saved in the working folder, its own folder read-only"
fi
