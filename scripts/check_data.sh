#!/usr/bin/env bash
# Regenerates the data folder into a temporary folder and compares: every generated file must
# match the committed one byte for byte, and every binary file of data/ must come out of a tool.
#   scripts/check_data.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$root/scripts/make_data.sh" "$build" "$tmp"

status=0
checked=0
while IFS= read -r -d '' file; do
    rel=${file#"$tmp"/}
    checked=$((checked + 1))
    if [ ! -f "$root/data/$rel" ]; then
        echo "check_data: $rel is generated but not committed" >&2
        status=1
    elif ! cmp -s "$file" "$root/data/$rel"; then
        echo "check_data: $rel differs from the committed file" >&2
        status=1
    fi
done < <(find "$tmp" -type f -print0)

while IFS= read -r -d '' file; do
    rel=${file#"$root/data"/}
    if [ ! -f "$tmp/$rel" ]; then
        echo "check_data: $rel is committed but no tool makes it" >&2
        status=1
    fi
done < <(find "$root/data" -type f \( -iname '*.lmf' -o -iname '*.3ds' -o -iname '*.dds' -o -iname '*.png' \
    -o -iname '*.bmp' -o -iname '*.wav' -o -iname '*.ogg' -o -iname '*.bin' -o -iname '*.dat' \) -print0)

echo "check_data: $checked files compared"
exit $status
