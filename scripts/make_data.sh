#!/usr/bin/env bash
# Regenerates every generated file of the game's data folder with our own tools.
#   scripts/make_data.sh [build folder] [data folder]
# Defaults: build/ and the repository's data/. Into another folder, the hand-written files
# (XML, scripts, shaders) are copied over first, since the level writer reads the archetypes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/data}
mkdir -p "$out"
out=$(cd "$out" && pwd)

tool() {
    local found
    found=$(find "$build/tools" -maxdepth 2 -type f -name "$1" -perm -u+x | sort | head -n 1)
    if [ -z "$found" ]; then
        echo "make_data: the tool $1 is not built in $build" >&2
        exit 1
    fi
    echo "$found"
}

if [ "$out" != "$root/data" ]; then
    (cd "$root/data" && find . -type f \( -name '*.xml' -o -name '*.lua' -o -name '*.fx' -o -name '*.vert' \
        -o -name '*.frag' -o -name '*.txt' \) ! -path './Levels/*' -exec cp --parents {} "$out" \;)
fi

"$(tool texgen)" "$out"
"$(tool lmfgen)" "$out"
"$(tool make_sounds)" "$out"
"$(tool make_splash)" "$out/InvaderLoading.bmp"
"$(tool fontgen)" /usr/share/fonts/truetype/dejavu "$out"
"$(tool terragen)" "$out"
# The widget writer works on a repository folder (data/ and the GUI's test files).
if [ "$out" = "$root/data" ]; then
    "$(tool guigen)" "$root"
else
    gui=$(mktemp -d)
    mkdir -p "$gui/data/Models"
    "$(tool guigen)" "$gui"
    cp -r "$gui/data/." "$out/"
    rm -rf "$gui"
fi
"$(tool make_levels)" "$out" > /dev/null
