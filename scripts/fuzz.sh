#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang and runs each for a bounded time, starting
# from seeds taken from the test data. Any crash, leak, sanitizer report or time-out fails.
# Usage: scripts/fuzz.sh [seconds per harness, default 20] [harness ...]
#        scripts/fuzz.sh --build [jobs]    builds only (scripts/test.sh builds beside its shuffled pass)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_only=0
if [ "${1:-}" = --build ]; then
    build_only=1
    jobs=${2:-${LOOM_JOBS:-$(nproc)}}
else
    jobs=${LOOM_JOBS:-$(nproc)}
fi
seconds=${1:-20}
shift || true
build="$root/build/fuzz"
# -O1 with line tables only: quick to build, fast enough to fuzz, and every report has its lines.
# Each library's files compile in batches, which takes some 40 % less time: the test build still
# compiles every file on its own.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
    -DLOOM_FUZZ=ON -DLOOM_BUILD_TESTS=OFF -DLOOM_BUILD_BENCH=OFF -DLOOM_LLD=ON -DCMAKE_UNITY_BUILD=ON >/dev/null
# Only the harnesses and the libraries they link are built.
cmake --build "$build" --target fuzz_all -j"$jobs"
[ "$build_only" = 1 ] && exit 0

run="$build/run"
rm -rf "$run"
mkdir -p "$run/artifacts"
export LOOM_ASSERT=continue ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
# The harnesses work in a scratch folder under the temp folder: keep it inside the run folder.
export TMPDIR="$run/tmp"
mkdir -p "$TMPDIR"

seed()
{
    local harness=$1
    shift
    mkdir -p "$run/corpus/$harness"
    for file in "$@"; do
        [ -f "$file" ] && cp "$file" "$run/corpus/$harness/"
    done
    return 0
}
data="$root/tests/data"
seed XmlLoaderFuzz "$data/all_fields.xml" "$root"/fuzz/corpus/xml/*
seed XmlReaderFuzz "$root"/fuzz/corpus/xml/* "$data"/*.xml "$data"/cogs/*.xml "$root"/data/*.xml "$root"/data/Config/*.xml "$root"/data/Compositions/*.xml
seed CogFileFuzz "$data"/cogs/*.xml "$root"/data/Compositions/*.xml "$root"/fuzz/corpus/cog_file/*
seed QTreeSettingsFuzz "$root/data/Config/QTree.xml"
seed EngineConfigFuzz "$root/data/config.xml" "$data/config.xml"
seed ConsoleLineFuzz "$root"/fuzz/corpus/console_line/*
seed LuaGFuzz "$root"/fuzz/corpus/lua_g/*
seed PatternFuzz "$root"/fuzz/corpus/pattern/*
# Written by our model tool: lmfgen --x fuzz/corpus/x_mesh
seed XMeshFuzz "$root"/fuzz/corpus/x_mesh/*
seed WidgetFileFuzz "$data"/gui/*.xml "$data"/gui/*.bin
shopt -s globstar nullglob
shipped="$root/data"
seed DdsFileFuzz "$shipped"/**/*.dds
seed ImageFileFuzz "$shipped"/**/*.png "$shipped"/**/*.bmp "$root"/fuzz/corpus/image_file/*
seed FontWidthFuzz "$shipped"/Fonts/*.dat "$root"/fuzz/corpus/font_width/*
seed SoundFileFuzz "$shipped"/Sounds/*.wav "$shipped"/Music/*.ogg
seed EffectFileFuzz "$shipped"/Shaders/*.fx "$root"/fuzz/corpus/effect_file/*
seed ParticleFileFuzz "$shipped"/Data/Effects/*.xml
seed MaterialFileFuzz "$shipped"/Materials/*.xml
seed AnimTexFileFuzz "$root"/fuzz/corpus/anim_tex/*
seed PathFileFuzz "$root"/fuzz/corpus/path/*
seed LevelFileFuzz "$shipped"/Levels/*
seed SettingsFileFuzz "$shipped"/Config/*.xml "$shipped"/Graphics.xml "$shipped"/Data/MapGeneration.xml \
    "$shipped"/Data/NetAd.xml "$shipped"/Data/TerraInfo.xml "$shipped"/Data/Constraints.xml
seed ScriptTextFuzz "$shipped"/Scripts/**/*.lua
seed ChunkReaderFuzz "$shipped"/Models/**/*.lmf "$shipped"/Models/**/*.LMF "$shipped"/Models/**/*.3ds
mkdir -p "$run/corpus/BinaryLoaderFuzz" "$run/corpus/NetMessageFuzz" "$run/corpus/NetChannelFuzz"
"$build/fuzz/BinarySeed" "$run/corpus/BinaryLoaderFuzz/all_fields.bin"
"$build/fuzz/NetSeed" "$run/corpus/NetMessageFuzz/message.bin" "$run/corpus/NetChannelFuzz/conversation.bin"

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
    for program in "$build"/fuzz/*Fuzz; do
        harnesses+=("$(basename "$program")")
    done
fi
# Harnesses run side by side, one per core: each has its seconds of wall time however many run.
fuzz_one()
{
    local harness=$1 log="$run/$1.log"
    mkdir -p "$run/corpus/$harness"  # a harness without seeds starts from nothing
    # Harnesses that read XML mutate with its tokens too (fuzz/dict/xml.dict), on inputs of at
    # most 4 KiB: every branch of the readers is reached within that, at several times the speed.
    local extra=(-max_len=65536)
    case " $xml_harnesses " in
        *" $harness "*) extra=(-max_len=4096 -dict="$root/fuzz/dict/xml.dict") ;;
    esac
    if "$build/fuzz/$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        "${extra[@]}" -print_final_stats=1 -artifact_prefix="$run/artifacts/$harness-" "$run/corpus/$harness" \
        >"$log" 2>&1; then
        echo "$harness: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') inputs, no fault"
    else
        echo "$harness: FAILED (log: $log)"
        tail -n 40 "$log"
        return 1
    fi
}
export -f fuzz_one
xml_harnesses="AnimTexFileFuzz CogFileFuzz EngineConfigFuzz MaterialFileFuzz ParticleFileFuzz \
    QTreeSettingsFuzz SettingsFileFuzz WidgetFileFuzz XmlLoaderFuzz XmlReaderFuzz"
export build run seconds root xml_harnesses
printf '%s\n' "${harnesses[@]}" | xargs -P "${LOOM_JOBS:-$(nproc)}" -I{} bash -c 'fuzz_one "$@"' _ {}
