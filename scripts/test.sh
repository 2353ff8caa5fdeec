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
