#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy: the bugprone and performance groups) on the C++ files the last
# commit changed, or on the files given; every finding is an error. A header is checked through
# its own name; a source file the build does not compile (benchmarks, fuzzers in a test build)
# is skipped, as it has no compile command.
#   scripts/tidy.sh <build folder> [files...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: scripts/tidy.sh <build folder> [files...]}" && pwd)
shift
cd "$root"
# A build that compiles its test files in batches lists only the batches: the commands come from
# a configuration of its own (configured, never built) that lists every file.
if grep -q '/Unity/unity_' "$build/compile_commands.json"; then
    cmake -S "$root" -B "$build/tidy" -DLOOM_UNITY_TESTS=OFF -DLOOM_BUILD_BENCH=ON >/dev/null
    build="$build/tidy"
fi
if [ $# -gt 0 ]; then
    files=("$@")
elif ! git rev-parse -q --verify HEAD~1 >/dev/null; then
    echo "tidy: no earlier commit to compare with (a shallow clone): nothing checked"
    exit 0
else
    mapfile -t files < <(git diff --name-only --diff-filter=d HEAD~1 HEAD -- '*.cpp' '*.h')
fi
checked=()
for f in "${files[@]}"; do
    f=$(realpath -m "$f")
    if [[ $f == *.h && -f $f ]] || grep -qF "\"file\": \"$f\"" "$build/compile_commands.json"; then
        checked+=("$f")
    fi
done
if [ ${#checked[@]} -eq 0 ]; then
    echo "tidy: no C++ file to check"
    exit 0
fi
start=$SECONDS
printf '%s\n' "${checked[@]}" | xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet
echo "tidy: ${#checked[@]} files clean in $((SECONDS - start))s"
