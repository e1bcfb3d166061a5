#!/usr/bin/env bash
# Builds the Debian package (build-deb.sh) and runs lintian --pedantic on it and
# on its debug symbols package: no error and no warning may come out, and every
# informational or pedantic tag left must be one of those listed below, each
# with the reason it stays.
# Usage: check-lintian.sh OUTPUT_DIR   (exit 77: skipped)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1

for tool in dpkg-buildpackage dh lintian; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (apt-get install dpkg-dev debhelper lintian)"
        exit 77
    fi
done

# Tags that stay, and why.
declare -A accepted=(
)

work=$(mktemp -d /tmp/lumi-lintian.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

nice -n 10 bash "$here/build-deb.sh" "$out" >"$work/build.log" 2>&1 ||
    fail "package build: $(tail -n 40 "$work/build.log")"
version=$(dpkg-parsechangelog -l "$here/../debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
debs=("$out/lumiboard_${version}_${arch}.deb" "$out/lumiboard-dbgsym_${version}_${arch}.deb")

# Lintian's exit code 1 only says it found error tags; the tags are judged
# here. 2 and above: lintian itself failed.
lintian_status=0
lintian --pedantic --display-info --display-experimental --tag-display-limit 0 "${debs[@]}" \
    >"$work/lintian.log" 2>&1 || lintian_status=$?
cat "$work/lintian.log"
[ "$lintian_status" -le 1 ] || fail "lintian failed ($lintian_status)"
status=0
while read -r kind _ tag _; do
    case "$kind" in
    E: | W:)
        echo "FAIL: $kind $tag" >&2
        status=1
        ;;
    I: | P: | X:)
        if [ -z "${accepted[$tag]+set}" ]; then
            echo "FAIL: $kind $tag is not among the accepted tags" >&2
            status=1
        fi
        ;;
    esac
done <"$work/lintian.log"
[ "$status" -eq 0 ] || exit 1
for tag in "${!accepted[@]}"; do
    grep -q " $tag\b" "$work/lintian.log" || echo "note: $tag no longer comes; drop it from the list"
done
echo "lintian --pedantic: no error, no warning, $(grep -c '^[IPX]: ' "$work/lintian.log") accepted tag(s)"
