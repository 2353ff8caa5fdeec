#!/usr/bin/env bash
# Installs what is missing, builds the game and runs it on the bundled data folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DLOOM_BUILD_TESTS=OFF -DLOOM_BUILD_BENCH=OFF
cmake --build "$root/build/release" -j"$(nproc)"
cd "$root/data"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/release/app/invaders" "$@"
fi
exec "$root/build/release/app/invaders" "$@"
