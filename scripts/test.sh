#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UBSan, runs the suite headless.
# Mesa draws on the calling thread (LP_NUM_THREADS=0): no driver threads race the leak check at exit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/check_includes.sh"
build="$root/build/test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DLOOM_SANITIZE=ON
cmake --build "$build" -j"$(nproc)"
export LP_NUM_THREADS=0 LOOM_ASSERT=continue SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 300

# Every test program once more as one process in shuffled order: a test that leans on another's
# leftovers or leaves a global changed fails here.
for program in "$build"/tests/test_*; do
    [ -x "$program" ] || continue
    for seed in 1 7 31; do
        echo "== $(basename "$program") as one process, shuffled, seed $seed"
        "$program" --gtest_shuffle --gtest_random_seed="$seed" --gtest_brief=1
    done
done

# Coverage-guided fuzzing of every reader of outside data, about 20 seconds per harness.
"$root/scripts/fuzz.sh" "${LOOM_FUZZ_SECONDS:-20}"
