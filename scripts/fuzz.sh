#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) in a
# build folder of their own and runs each for a fixed time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target, 30 when not given; TARGET one of load, prepare, style, convert, casm,
# sections (all when none is named). ZEPHRANE_FUZZ_BUILD names the build folder (build/fuzz).
# Each target starts from its committed seeds (fuzz/corpus/<target>) and the malformed files of
# tests/data/invalid, and grows a working corpus in the build folder, kept between runs. A crash,
# a sanitizer report, a broken promise of the core ("FINDING") or a hang stops the target; its
# input is saved as <build>/artifacts/<target>-crash-… and the script exits with 1 after running
# the rest. With ZEPHRANE_FUZZ_KEEP_GOING=1 a target runs in a child process that is restarted
# after each finding, so that one run collects all it finds in its time.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(load prepare style convert casm sections)
build="${ZEPHRANE_FUZZ_BUILD:-build/fuzz}"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DZEPHRANE_BUILD_FUZZERS=ON -DZEPHRANE_WERROR=ON \
    -DZEPHRANE_BUILD_TESTS=OFF -DZEPHRANE_BUILD_BENCHMARKS=OFF -DZEPHRANE_BUILD_CLI=OFF \
    -DZEPHRANE_BUILD_GUI=OFF -DZEPHRANE_BUILD_PLAYER=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/artifacts"
keep_going=()
if [ "${ZEPHRANE_FUZZ_KEEP_GOING:-0}" = 1 ]; then
    keep_going=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
fi
failed=()
for target in "${targets[@]}"; do
    echo "== fuzz_$target for $seconds s"
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    rm -f "$build/artifacts/$target-"*
    # Failed: the fuzzer stopped on a finding, or (keeping going) it saved one.
    if ! ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
        -max_len=8192 -dict=fuzz/midi.dict -print_final_stats=1 "${keep_going[@]}" \
        -artifact_prefix="$build/artifacts/$target-" \
        "$corpus" "fuzz/corpus/$target" tests/data/invalid 2>"$build/fuzz_$target.log" ||
        ls "$build/artifacts/$target-"* >/dev/null 2>&1; then
        failed+=("$target")
        tail -n 60 "$build/fuzz_$target.log"
    fi
    # The last status line: executions, coverage (edges), features, corpus.
    grep -E '^#[0-9]+:?[[:space:]]' "$build/fuzz_$target.log" | tail -n 1 || true
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs in $build/artifacts)" >&2
    exit 1
fi
echo "no findings"
