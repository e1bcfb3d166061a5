#!/usr/bin/env bash
# Checks the systemd user units with systemd-analyze, against the lumictl of
# the build tree. 77: skipped (no systemd-analyze here).
#   check-units.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
command -v systemd-analyze >/dev/null || { echo "systemd-analyze missing: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for unit in "$src"/packaging/systemd/*; do
    # The units name the installed program; here the built one stands in.
    sed -e "s|/usr/bin/lumictl|$build/bin/lumictl|" -e "s|/usr/bin/lumimqtt|$build/bin/lumimqtt|" "$unit" >"$work/$(basename "$unit")"
done
out=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no "$work"/*.service "$work"/*.timer 2>&1) || {
    echo "$out"
    exit 1
}
# verify says what it finds wrong on stderr without always failing.
if [ -n "$out" ]; then
    echo "$out"
    exit 1
fi
grep -q 'SYSTEMD_USER_WANTS}+="lumictl-sync.service"' "$src/packaging/70-lumiboard-panel.rules"
# The sync service stays sandboxed: an exposure of 3.0 or more ("MEDIUM" and
# worse) fails. A user manager's review needs a runtime folder, any will do.
mkdir -m 0700 "$work/runtime"
if ! review=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze security --offline=yes --user \
    --threshold=29 "$work/lumictl-sync.service" 2>&1); then
    echo "$review" | tail -n 25
    echo "lumictl-sync.service: exposure 3.0 or more"
    exit 1
fi
echo "$review" | tail -n 1

# The bridge restarts on failure and is the user's to enable.
grep -qx "Restart=on-failure" "$src/packaging/systemd/lumimqtt.service"
echo "units verified"
