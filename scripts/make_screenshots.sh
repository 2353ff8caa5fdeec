#!/usr/bin/env bash
# Plays the first level with the end-to-end play script and keeps three of its screenshots
# (the program's own "ScreenCap", converted to indexed PNGs by bmp2png) for the README. Nothing
# else writes docs/screenshots: run it only when the pictures are meant to change.
#   scripts/make_screenshots.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r "$root/data" "$tmp/game"
cp "$root"/tests/data/play/Scripts/*.lua "$tmp/game/Scripts/"
sed -i 's#Scripts\\Game.lua#Scripts\\PlayWin.lua#' "$tmp/game/config.xml"
(cd "$tmp/game" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 \
    LOOM_TEST_INPUT=1 LOOM_TEST_STEPPED_CLOCK=1 ASAN_OPTIONS=detect_leaks=0 "$build/app/invaders" > /dev/null 2>&1)
mkdir -p "$root/docs/screenshots"
"$build/tools/bmp2png" "$tmp/game/screenshot0.bmp" "$root/docs/screenshots/menu.png"
"$build/tools/bmp2png" "$tmp/game/screenshot1.bmp" "$root/docs/screenshots/level.png"
"$build/tools/bmp2png" "$tmp/game/screenshot3.bmp" "$root/docs/screenshots/gameover.png"
echo "make_screenshots: wrote docs/screenshots/menu.png, level.png and gameover.png"
