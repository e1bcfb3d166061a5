#!/usr/bin/env bash
# Makes the Debian package from the build and checks what it holds: nothing but
# programs in bin/, the udev rule where udev reads it, the LED pictures under
# share/, dependencies found from the binaries, and the install scripts.
# Usage: check-package.sh BUILD_DIR CPACK   (exit 77: skipped)
set -euo pipefail
build=$(realpath "$1")
cpack=${2:-cpack}

for tool in dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing, no Debian package can be made here"
        exit 77
    fi
done

work=$(mktemp -d /tmp/lumi-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$work/lumiboard_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"); made: $(ls "$work")"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$work/list"
files=$(grep -v '/$' "$work/list")
echo "$files"

# Everything under /usr, nothing in /usr/local or /etc.
bad=$(grep -v '^/usr/' <<<"$files" || true)
[ -z "$bad" ] || fail "outside /usr: $bad"
bad=$(grep '^/usr/local/' <<<"$files" || true)
[ -z "$bad" ] || fail "under /usr/local: $bad"

# bin/: the programs and nothing else, each an ELF executable.
dpkg-deb -x "$deb" "$work/root"
for path in $(grep '^/usr/bin/' <<<"$files"); do
    [ -x "$work/root$path" ] || fail "$path is not executable"
    [ "$(head -c 4 "$work/root$path" | od -An -c | tr -d ' ')" = '177ELF' ] ||
        fail "$path is not a program"
done
for program in lumiboard glyphsmith panelsim; do
    grep -qx "/usr/bin/$program" <<<"$files" || fail "$program missing"
done

for unit in lumictl-sync.service lumictl-sync.timer; do
    grep -qx "/usr/lib/systemd/user/$unit" <<<"$files" || fail "$unit not in /usr/lib/systemd/user"
done
grep -qx /usr/lib/udev/rules.d/70-lumiboard-panel.rules <<<"$files" ||
    fail "the udev rule is not in /usr/lib/udev/rules.d"
grep -Eqx '/usr/lib/([^/]+/)?libmpusbapi\.so' <<<"$files" || fail "libmpusbapi.so missing"
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
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$work/root$metainfo" || fail "metainfo not valid"
else
    echo "appstreamcli missing: metainfo not validated"
fi

# Dependencies come from the binaries: Qt for the programs, libusb for the library.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libusb-1.0-0 libc6; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed"
done

if dpkg-deb -f "$deb" Description | grep -q '^ *;'; then
    fail "the description's lines start with a list separator"
fi

dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
    [ -x "$work/control/$script" ] || fail "no $script"
    sh -n "$work/control/$script" || fail "$script does not parse"
done
echo "package $(basename "$deb") checked"
