#!/usr/bin/env bash
# Builds the Debian package (build-deb.sh) and checks what it holds: nothing but
# programs in bin/, the USB library in its private folder, the udev rule where
# udev reads it, the LED pictures under share/, compressed manual pages for
# every program, dependencies found from the binaries, debug symbols apart, and
# no ldconfig in the maintainer scripts (the library is private) nor any
# enabling of the user units.
# Usage: check-package.sh OUTPUT_DIR   (exit 77: skipped)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1

for tool in dpkg-buildpackage dpkg-deb dpkg-shlibdeps dh; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing, no Debian package can be made here (apt-get install dpkg-dev debhelper)"
        exit 77
    fi
done

work=$(mktemp -d /tmp/lumi-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

nice -n 10 bash "$here/build-deb.sh" "$out" >"$work/build.log" 2>&1 ||
    fail "package build: $(tail -n 40 "$work/build.log")"
version=$(dpkg-parsechangelog -l "$here/../debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
deb=$out/lumiboard_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $(basename "$deb"); made: $(ls "$out")"
dbgsym=$out/lumiboard-dbgsym_${version}_${arch}.deb
[ -f "$dbgsym" ] || fail "no debug symbols package $(basename "$dbgsym")"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$work/list"
files=$(grep -v '/$' "$work/list")
echo "$files"

# Everything under /usr, nothing in /usr/local or /etc.
bad=$(grep -v '^/usr/' <<<"$files" || true)
[ -z "$bad" ] || fail "outside /usr: $bad"
bad=$(grep '^/usr/local/' <<<"$files" || true)
[ -z "$bad" ] || fail "under /usr/local: $bad"

# bin/: the programs and nothing else, each a stripped ELF executable.
dpkg-deb -x "$deb" "$work/root"
for path in $(grep '^/usr/bin/' <<<"$files"); do
    [ -x "$work/root$path" ] || fail "$path is not executable"
    [ "$(head -c 4 "$work/root$path" | od -An -c | tr -d ' ')" = '177ELF' ] ||
        fail "$path is not a program"
    if readelf -S "$work/root$path" | grep -q '\.debug_info'; then
        fail "$path is not stripped"
    fi
done
for program in lumiboard glyphsmith panelsim lumictl lumimqtt; do
    grep -qx "/usr/bin/$program" <<<"$files" || fail "$program missing"
    # Every program has its manual page, compressed.
    grep -qx "/usr/share/man/man1/$program.1.gz" <<<"$files" || fail "no compressed man page for $program"
done
bad=$(grep '^/usr/share/man/.*[^z]$' <<<"$files" || true)
[ -z "$bad" ] || fail "uncompressed man pages: $bad"

# panelsim's LED face is no command of its own.
grep -qx /usr/libexec/lumiboard/panelsim-face <<<"$files" || fail "panelsim-face not in /usr/libexec/lumiboard"

for unit in lumictl-sync.service lumictl-sync.timer lumimqtt.service; do
    grep -qx "/usr/lib/systemd/user/$unit" <<<"$files" || fail "$unit not in /usr/lib/systemd/user"
done
grep -qx /usr/lib/udev/rules.d/70-lumiboard-panel.rules <<<"$files" ||
    fail "the udev rule is not in /usr/lib/udev/rules.d"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
grep -qx "/usr/lib/$multiarch/lumiboard/libmpusbapi.so" <<<"$files" ||
    fail "libmpusbapi.so not in /usr/lib/$multiarch/lumiboard"
bad=$(grep -E '^/usr/lib/([^/]+/)?libmpusbapi' <<<"$files" || true)
[ -z "$bad" ] || fail "the USB library in a public library folder: $bad"
for picture in led_bleu.bmp led_gris.bmp; do
    grep -qx "/usr/share/lumiboard/$picture" <<<"$files" || fail "$picture not in share/lumiboard"
done
bad=$(grep '\.bmp$' <<<"$files" | grep -v '^/usr/share/lumiboard/' || true)
[ -z "$bad" ] || fail "pictures outside share/lumiboard: $bad"
grep -q '^/usr/share/applications/lumiboard.desktop$' <<<"$files" || fail "no desktop entry"
grep -q '^/usr/share/icons/hicolor/scalable/apps/lumiboard.svg$' <<<"$files" || fail "no icon"
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' <<<"$files") || fail "no metainfo"
if grep -q '^Path=' "$work/root"/usr/share/applications/*.desktop; then
    fail "a desktop entry names a folder"
fi
# The desktop action's script is there and the entry names it where it is.
action=$(sed -n '/^\[Desktop Action /,$ s/^Exec=//p' "$work/root/usr/share/applications/lumiboard.desktop")
[ -n "$action" ] || fail "lumiboard's desktop entry has no second action"
[ -x "$work/root$action" ] || fail "the action's $action is not in the package"
sh -n "$work/root$action" || fail "$action does not parse"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$work/root$metainfo" || fail "metainfo not valid"
else
    echo "appstreamcli missing: metainfo not validated"
fi
grep -q 'LicenseRef-proprietary' "$work/root$metainfo" || fail "metainfo names another licence"
grep -q 'All rights reserved' "$work/root/usr/share/doc/lumiboard/copyright" ||
    fail "the copyright file does not say all rights are reserved"

# Dependencies come from the binaries: Qt for the programs, libusb for the
# library; Qt's French texts and its screen plugins by name.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libusb-1.0-0 libc6 qt6-translations-l10n qt6-qpa-plugins; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed"
done
maintainer=$(dpkg-deb -f "$deb" Maintainer)
[[ $maintainer != *localhost* ]] || fail "maintainer at localhost: $maintainer"

if dpkg-deb -f "$deb" Description | grep -q '^ *;'; then
    fail "the description's lines start with a list separator"
fi

dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm; do
    [ -e "$work/control/$script" ] || continue
    sh -n "$work/control/$script" || fail "$script does not parse"
    if grep -q ldconfig "$work/control/$script"; then
        fail "$script runs ldconfig for a library nobody links"
    fi
    if grep -q 'lumictl-sync' "$work/control/$script"; then
        fail "$script touches the user units: enabling the timer is the user's choice"
    fi
done
echo "package $(basename "$deb") checked"
