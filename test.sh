#!/usr/bin/env bash
# Sets up and builds everything, then runs every test: in the normal build each test program
# runs whole, in one process, as a developer runs it by hand; with AddressSanitizer and
# UndefinedBehaviorSanitizer each test runs in a process of its own; last, the fuzz targets
# are built with clang and each runs a few seconds over its committed corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)

"$root/scripts/setup.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Every test program whole, side by side, each in a scratch folder of its own; a program
# that fails or outlives its time shows the end of its output and fails this script.
whole_work=$(mktemp -d)
programs=()
pids=()
for p in $(find "$root/build" -maxdepth 1 -type f -executable -name 'test_*' | sort); do
    name=$(basename "$p")
    mkdir "$whole_work/$name"
    (cd "$whole_work/$name" && exec timeout -k 10 600 "$p" >"$whole_work/$name.log" 2>&1) &
    programs+=("$name")
    pids+=($!)
done
whole_failed=0
for i in "${!programs[@]}"; do
    name=${programs[$i]}
    if wait "${pids[$i]}"; then
        echo "$name whole: $(grep -E '^\[  PASSED  \]' "$whole_work/$name.log" || echo 'passed')"
    else
        tail -n 60 "$whole_work/$name.log"
        echo "$name whole FAILED: its output is in $whole_work/$name.log"
        whole_failed=1
    fi
done
[ "$whole_failed" -eq 0 ] && rm -rf "$whole_work"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$root/scripts/setup.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DDORVALE_SANITIZE=ON
ctest --test-dir "$root/build-asan" -j "$jobs" --output-on-failure

# The fuzz targets (tests/fuzz/README.md), side by side. What a run finds goes to a fresh
# work folder named first, so the committed corpus is only read; a target that fails keeps
# its folder, with the failing input, and fails this script.
fuzz_targets=(files xml xtra bmps)
"$root/scripts/setup.sh" build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDORVALE_FUZZ=ON -DDORVALE_TESTS=OFF -- "${fuzz_targets[@]/%/_fuzz}"
fuzz_work=$(mktemp -d)
pids=()
for t in "${fuzz_targets[@]}"; do
    mkdir -p "$fuzz_work/$t/corpus"
    TMPDIR="$fuzz_work/$t" "$root/build-fuzz/${t}_fuzz" -max_total_time=5 -artifact_prefix="$fuzz_work/$t/" \
        "$fuzz_work/$t/corpus" "$root/tests/fuzz/corpus/$t" >"$fuzz_work/$t/log" 2>&1 &
    pids+=($!)
done
fuzz_failed=0
for i in "${!fuzz_targets[@]}"; do
    t=${fuzz_targets[$i]}
    if wait "${pids[$i]}"; then
        echo "${t}_fuzz: $(grep -o 'Done [0-9]* runs' "$fuzz_work/$t/log" || echo 'no run count'), no fault"
        rm -rf "${fuzz_work:?}/$t"
    else
        tail -n 40 "$fuzz_work/$t/log"
        echo "${t}_fuzz FAILED: its log and failing input are in $fuzz_work/$t/"
        fuzz_failed=1
    fi
done
[ "$fuzz_failed" -eq 0 ] && rmdir "$fuzz_work"
[ "$whole_failed" -eq 0 ] || echo "A test program run whole FAILED (above)."
exit $((whole_failed | fuzz_failed))
