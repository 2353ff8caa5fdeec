#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UBSan, runs the suite headless.
# Mesa draws on the calling thread (LP_NUM_THREADS=0): no driver threads race the leak check at exit.
#   scripts/test.sh          the shuffled pass runs once, with a seed drawn afresh (printed)
#   scripts/test.sh --deep   the shuffled pass runs with each of three fixed seeds
# LOOM_SHUFFLE_SEED=<n> replays a shuffled pass with the seed a run printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deep=0
case "${1:-}" in
    --deep) deep=1 ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--deep]" >&2; exit 2 ;;
esac
# Each phase prints its own duration and the time so far.
phase_start=0
phase()
{
    echo "== $1: $((SECONDS - phase_start))s (at ${SECONDS}s)"
    phase_start=$SECONDS
}
"$root/scripts/deps.sh"
phase "packages"
build="$root/build/test"
mkdir -p "$build"
# The layers' includes, and one format for every C++ source (.clang-format): a file out of either
# fails the run. The two checks take one core for some 20 s: they run beside the configuration
# and the build, and their verdict is read once the build is done.
(
    "$root/scripts/check_includes.sh"
    cd "$root" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
) >"$build/checks.log" 2>&1 &
checks=$!
# Line tables are all the sanitizer reports need (-g1 builds faster). Every target is built, the
# benchmarks and tools too, so a compile error anywhere fails the run.
# lld links the large sanitizer programs in half the time.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DLOOM_SANITIZE=ON -DLOOM_BUILD_BENCH=ON \
    -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 -DLOOM_LLD=ON
cmake --build "$build" -j"$(nproc)"
if ! wait "$checks"; then
    echo "== includes or format out of line"
    cat "$build/checks.log"
    exit 1
fi
phase "configured and built, includes and format checked"
# clang-tidy on what the last commit changed (the whole tree takes far too long for every run).
"$root/scripts/tidy.sh" "$build"
phase "tidy"
export LP_NUM_THREADS=0 LOOM_ASSERT=continue SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null
# The leak checker's guess at glibc's dynamic-TLS block header reads a wild range and crashes
# when a block happens to start 16 bytes into a page; with the hook off it never guesses.
export ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1
# The GL driver keeps a few allocations it never frees at unload (tests/app/leaks.supp names only it):
# the benchmarks and the in-process GL tests draw through it too.
export LSAN_OPTIONS="suppressions=$root/tests/app/leaks.supp"
cd "$build"

# Each benchmark program runs once, every benchmark at its smallest size for one short pass: a
# benchmark that no longer starts, crashes or trips the sanitizers fails the run.
# The programs run side by side, one per core (their figures are not read).
bench_smoke()
{
    local program=$1 names
    # One entry per benchmark: the smallest first argument ("24", "bodies:1000", ...).
    names=$(LOOM_BENCH_SMOKE=1 "$program" --benchmark_list_tests | awk -F/ '
        { size = 0; if ($2 ~ /^([a-z_]+:)?[0-9]+$/ && $2 !~ /^(min_time|iterations|repeats):/) { size = $2; sub(/.*:/, "", size); size += 0 } }
        !($1 in best) { order[++n] = $1 }
        !($1 in best) || size < best[$1] { best[$1] = size; name[$1] = $0 }
        END { for (i = 1; i <= n; ++i) printf "%s%s", (i > 1 ? "|" : ""), name[order[i]] }') ||
        { echo "== $(basename "$program") cannot list its benchmarks"; return 1; }
    if ! LOOM_BENCH_SMOKE=1 "$program" --benchmark_filter="^($names)\$" --benchmark_min_time=0.001 \
        --benchmark_out="$program.smoke.json" --benchmark_out_format=json >"$program.smoke.log" 2>&1; then
        echo "== $(basename "$program") failed its smoke run"
        tail -n 60 "$program.smoke.log"
        return 1
    fi
    # A benchmark that reports an error (SkipWithError) still exits 0: its figures are void.
    if grep -q '"error_occurred": *true' "$program.smoke.json" || grep -q 'ERROR OCCURRED' "$program.smoke.log"; then
        echo "== $(basename "$program") reported an error in its smoke run"
        grep -E '"name"|"error_message"' "$program.smoke.json" | grep -B1 '"error_message"' || true
        grep 'ERROR OCCURRED' "$program.smoke.log" || true
        return 1
    fi
}
export -f bench_smoke
find "$build/bench" -maxdepth 1 -type f -perm -u+x | sort | xargs -P "$(nproc)" -I{} bash -c 'bench_smoke "$@"' _ {}
phase "benchmarks ran once each"

# The fuzz harnesses' clang build runs beside the suite and the shuffled pass at low priority: it
# takes what they leave of the cores (program tests that wait, the passes' ends); scripts/fuzz.sh
# finishes it. Its own process group, so a failed run stops it too.
setsid nice -n 10 "$root/scripts/fuzz.sh" --build >"$build/fuzz-build.log" 2>&1 &
fuzz_build=$!
trap 'kill -- -$fuzz_build 2>/dev/null || true' EXIT

# Every test runs once. The program runs that take minutes in real time or real X input (and the
# data folder's regeneration) run under ctest, each a process of its own; every other test runs in
# its program's shards, each shard one process in shuffled order, so a test that leans on another's
# leftovers or leaves a global changed fails there. Tests split into shards by their place in the
# program, so two tests may meet in either order or not at all: each run draws the seed afresh
# (printed) and tries other orders; --deep tries three fixed seeds.
own='GamePlay.*:*DesktopPlay*:SoundMix.*:LedgeProgram.*'
own_ctest='^(GamePlay|DesktopPlay|Display/DesktopPlayFullScreen|SoundMix|LedgeProgram|DataFolder)\.'
if [ "$deep" = 1 ]; then
    seeds="1 7 31"
else
    # gtest takes seeds 1 to 99999 (0 would mean "from the clock", which it does not print).
    seeds=${LOOM_SHUFFLE_SEED:-$(((RANDOM * 32768 + RANDOM) % 99999 + 1))}
fi
echo "== shuffled shards, seeds: $seeds"
run_job()
{
    local kind=$1 log
    if [ "$kind" = ctest ]; then
        local number=$2
        log="$PWD/ctest.$number.log"
        if ! ctest -I "$number,$number" --output-on-failure --timeout 600 >"$log" 2>&1; then
            echo "== ctest test #$number failed"
            grep -v '^LOOM Error' "$log" | tail -n 80
            return 1
        fi
        echo "== $(grep -m1 -o 'Test *#[0-9]*: [^ ]*' "$log") passed"
        return 0
    fi
    local program=$2 seed=$3 shard=$4 shards=$5 filter=""
    [ "$(basename "$program")" = test_app ] && filter="--gtest_filter=-$own"
    log="$program.shuffled.$seed.$shard.log"
    # A shard that hangs is stopped well before the CI's limit.
    if ! GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$shard timeout 2400 "$program" --gtest_shuffle \
        --gtest_random_seed="$seed" --gtest_brief=1 $filter >"$log" 2>&1; then
        echo "== $(basename "$program") shard $shard of $shards failed in shuffled order, seed $seed" \
            "(LOOM_SHUFFLE_SEED=$seed replays it)"
        grep -v '^LOOM Error' "$log" | tail -n 80
        return 1
    fi
    echo "== $(basename "$program") shard $shard of $shards passes in shuffled order, seed $seed"
}
export -f run_job
export own
# One queue for the cores, longest jobs first: the two longest program runs (the ledge's eight
# rounds, the recorded sound), the other desktop and program runs, then the game's and the program
# tests' shards, then the rest.
longest='^(LedgeProgram\.EveryInvader|SoundMix\.)'
{
    ctest -N -R "$longest" | sed -n 's/^ *Test *#\([0-9]*\):.*/ctest \1/p'
    ctest -N -R "$own_ctest" -E "$longest" | sed -n 's/^ *Test *#\([0-9]*\):.*/ctest \1/p'
    for program in $(ls "$build"/tests/test_* | grep -v '\.' |
        awk '{ print (/\/test_game$/ ? 0 : (/\/test_app$/ ? 1 : 2)), $0 }' | sort | cut -d' ' -f2); do
        case "$(basename "$program")" in
            test_game | test_app) shards=4 ;;
            *) shards=2 ;;
        esac
        for seed in $seeds; do
            for ((shard = 0; shard < shards; ++shard)); do
                echo "shard $program $seed $shard $shards"
            done
        done
    done
} | xargs -P "$(nproc)" -L 1 bash -c 'run_job "$@"' _
phase "every test, shuffled shards and own runs"
if ! wait "$fuzz_build"; then
    echo "== the fuzz harnesses do not build"
    tail -n 60 "$build/fuzz-build.log"
    exit 1
fi
trap - EXIT
phase "fuzz build beside the suite, rest"

# Coverage-guided fuzzing of every reader of outside data, 20 seconds per harness: on two busy
# cores a harness gets half of one, and a bounds fault planted in the XML reader's entity decoding
# was found within 13 such seconds in each of 20 tries.
"$root/scripts/fuzz.sh" "${LOOM_FUZZ_SECONDS:-20}"
phase "fuzzing"
echo "== done in ${SECONDS}s"
