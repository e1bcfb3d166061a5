#!/usr/bin/env bash
# Builds the Debian package with dpkg-buildpackage (debian/, debhelper) from a
# copy of the sources, so the sources stay clean and the results land in OUTPUT
# (default build/deb): lumiboard_<version>_<arch>.deb and its -dbgsym package.
#   packaging/build-deb.sh [OUTPUT]
# The copy's build folder (obj-*) stays between runs: a second run rebuilds only
# what changed. DEB_BUILD_OPTIONS is honoured; parallel=2 unless it says more.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$src/build/deb}")
copy=$out/src

mkdir -p "$copy"
find "$copy" -mindepth 1 -maxdepth 1 ! -name 'obj-*' -exec rm -rf {} +
# Sources only: no build trees, nor what a build in place left in debian/.
tar -C "$src" --exclude=./.git --exclude='./build*' --exclude='./obj-*' \
    --exclude=./debian/.debhelper --exclude=./debian/lumiboard --exclude=./debian/files \
    --exclude='./debian/*.substvars' --exclude=./debian/debhelper-build-stamp -cf - . |
    tar -C "$copy" -xf -

options=${DEB_BUILD_OPTIONS:-}
[[ $options == *parallel=* ]] || options="${options:+$options }parallel=2"
cd "$copy"
# -nc: the kept build folder is reused, not cleaned away.
DEB_BUILD_OPTIONS=$options dpkg-buildpackage -us -uc -b -nc
ls "$out"/*.deb
