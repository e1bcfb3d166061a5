#!/usr/bin/env bash
# Runs lumictl-sync.service's own command line (its ExecStart, the built
# lumictl standing in for the installed one) against a panelsim whose clock
# is off: the clock must be written, with exit 0 and nothing said; with no
# panel, the exit status must be one the unit counts as success. Where a user
# and network namespace can be made, the command runs in one, as the unit's
# PrivateUsers= and PrivateNetwork= run it: the panel's socket is a file and
# must stay reachable.
#   check-unit-sync.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
bin=$2/bin
unit=$src/packaging/systemd/lumictl-sync.service
work=$(mktemp -d)
sim=
cleanup() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "check-unit-sync: $*" >&2
    exit 1
}

# The last value the unit gives a setting (a later line overrides).
setting() { sed -n "s/^$1=//p" "$unit" | tail -n 1; }
exec_start=$(setting ExecStart)
case "$exec_start" in
*%*) fail "ExecStart uses a specifier this check cannot expand: $exec_start" ;;
/usr/bin/lumictl\ *) ;;
*) fail "ExecStart does not start /usr/bin/lumictl: $exec_start" ;;
esac
read -r -a command <<<"$bin/lumictl${exec_start#/usr/bin/lumictl}"
read -r -a success <<<"0 $(setting SuccessExitStatus)"

private=()
if unshare --user --map-current-user --net true 2>/dev/null; then
    private=(unshare --user --map-current-user --net)
    echo "the unit's command runs in a user and network namespace of its own"
else
    echo "no user and network namespace here: the unit's command runs without one"
fi

socket=$work/panel.sock
"$bin/panelsim" --socket "$socket" --log "$work/panel.log" 2>"$work/panelsim.err" &
sim=$!
for _ in $(seq 100); do
    [ -S "$socket" ] && break
    kill -0 "$sim" 2>/dev/null || fail "panelsim did not start: $(cat "$work/panelsim.err")"
    sleep 0.1
done
[ -S "$socket" ] || fail "panelsim did not start: $(cat "$work/panelsim.err")"
export MPUSBAPI_VIRTUAL=$socket

clockWrites() { grep -c ' OUT 34 ' "$work/panel.log" || true; }
run() { timeout 60 "${private[@]}" "${command[@]}" >"$work/out" 2>"$work/err"; }

timeout 30 "$bin/lumictl" --quiet clock --set '2001-02-03 04:05:06' || fail "cannot put the panel's clock off"
before=$(clockWrites)
rc=0
run || rc=$?
[ "$rc" -eq 0 ] || fail "ExecStart exited $rc against a panel 25 years off: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "ExecStart printed: $(cat "$work/out")"
[ "$(clockWrites)" -eq $((before + 1)) ] || fail "ExecStart did not write the clock once"
echo "ExecStart set the panel's clock"

# Right now: nothing to write.
rc=0
run || rc=$?
[ "$rc" -eq 0 ] || fail "ExecStart exited $rc against a panel on time: $(cat "$work/err")"
[ "$(clockWrites)" -eq $((before + 1)) ] || fail "ExecStart wrote a clock already right"

# No panel plugged in: the unit must not fail.
MPUSBAPI_VIRTUAL=$work/absent.sock
rc=0
run || rc=$?
ok=0
for status in "${success[@]}"; do
    [ "$rc" -eq "$status" ] && ok=1
done
[ "$rc" -eq 3 ] && [ "$ok" -eq 1 ] || fail "without a panel ExecStart exited $rc; the unit takes ${success[*]}"
echo "without a panel: exit $rc, a success for the unit"
echo "the unit's command line syncs the panel"
