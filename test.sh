#!/usr/bin/env bash
# Builds everything and runs every test offscreen.
#   ./test.sh              normal build in build/
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

dir=build
opts=()
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-sanitize
    opts=(-DLUMI_SANITIZE=ON -DLUMI_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
elif [ -n "${1:-}" ]; then
    echo "usage: $0 [--sanitize]" >&2
    exit 2
fi

lumi_ensure_deps
lumi_build "$dir" "${opts[@]}"
export QT_QPA_PLATFORM=offscreen
cd "$dir"
ctest --output-on-failure -j "$(nproc)"
