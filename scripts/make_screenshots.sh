#!/usr/bin/env bash
# Takes the README's pictures: the program plays scripts/make_screenshots.lua on a copy of the
# data folder, its own "ScreenCap" shots are named by the "SHOT <number> <name>" lines of its log
# and converted by bmp2png to indexed PNGs in docs/screenshots. Nothing else writes
# docs/screenshots: run it only when the pictures are meant to change.
#   scripts/make_screenshots.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r "$root/data" "$tmp/game"
cp "$root/tests/data/play/Scripts/PlayDriver.lua" "$root/scripts/make_screenshots.lua" "$tmp/game/Scripts/"
sed -i 's#Scripts\\Game.lua#Scripts\\make_screenshots.lua#' "$tmp/game/config.xml"
(cd "$tmp/game" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 \
    LOOM_TEST_INPUT=1 LOOM_TEST_STEPPED_CLOCK=1 ASAN_OPTIONS=detect_leaks=0 "$build/app/invaders" > /dev/null 2>&1)
shots=$(grep -o 'SHOT [0-9]* [a-z]*' "$tmp/game/Log.xml" || true)
if [ "$(wc -l <<< "$shots")" -ne 5 ] || ! grep -q ' gameover$' <<< "$shots"; then
  echo "make_screenshots: the run did not take all five shots; its log says:" >&2
  grep -o '<Message>[^<]*' "$tmp/game/Log.xml" | tail -20 >&2
  exit 1
fi
mkdir -p "$root/docs/screenshots"
while read -r _ number name; do
  "$build/tools/bmp2png" "$tmp/game/screenshot$number.bmp" "$root/docs/screenshots/$name.png"
done <<< "$shots"
echo "make_screenshots: wrote docs/screenshots/" $(cut -d' ' -f3 <<< "$shots" | sed 's/$/.png/')
