#!/usr/bin/env bash
# Builds everything and runs every test offscreen.
#   ./test.sh              normal build in build/
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   ./test.sh --fuzz SECONDS   libFuzzer build (clang) in build-fuzz/, each harness run SECONDS
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
elif [ "${1:-}" = "--fuzz" ]; then
    seconds=${2:?usage: $0 --fuzz SECONDS}
    lumi_ensure_deps clang libclang-rt-14-dev
    lumi_build build-fuzz -DLUMI_FUZZ=ON -DLUMI_BENCH=OFF -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -- fuzzers
    # New inputs go to a scratch folder: the kept corpus only changes by hand.
    work=build-fuzz/corpus
    failed=()
    for harness in build-fuzz/fuzz/fuzz_*; do
        [ -f "$harness" ] && [ -x "$harness" ] || continue
        name=$(basename "$harness")
        mkdir -p "$work/$name"
        echo "== $name ($seconds s)"
        status=0
        "$harness" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="build-fuzz/$name-" \
            "$work/$name" "fuzz/corpus/$name" >"build-fuzz/$name.log" 2>&1 || status=$?
        grep -E "^stat::number_of_executed_units|^SUMMARY|ERROR|invariant failed|runtime error" \
            "build-fuzz/$name.log" || true
        [ "$status" -eq 0 ] || failed+=("$name")
    done
    [ ${#failed[@]} -eq 0 ] || { echo "crashed: ${failed[*]} (inputs and logs in build-fuzz/)" >&2; exit 1; }
    exit 0
elif [ -n "${1:-}" ]; then
    echo "usage: $0 [--sanitize | --fuzz SECONDS]" >&2
    exit 2
fi

lumi_ensure_deps
lumi_build "$dir" "${opts[@]}"
export QT_QPA_PLATFORM=offscreen
cd "$dir"
ctest --output-on-failure -j "$(nproc)"
