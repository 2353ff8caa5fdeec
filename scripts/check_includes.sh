#!/usr/bin/env bash
# Fails when a file includes from a layer above its own; prints each offending include.
set -uo pipefail
set -f  # "*" in the allow lists is a word, not a glob
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Which of our folders a source folder may include from ("*" = any).
allowed_top() {
  case "$1" in
    LOOM) echo "LOOM" ;;
    platform) echo "LOOM platform" ;;
    input) echo "LOOM platform input" ;;
    physics) echo "LOOM physics" ;;
    audio) echo "LOOM audio" ;;
    network) echo "LOOM network" ;;
    graphics) echo "LOOM platform input physics audio graphics" ;;
    gui) echo "LOOM input graphics gui" ;;
    # The game logic reaches the scene and the player's side only through its seams.
    game/logic|game/level|game/behaviors|game/invaders|game/traps|game/tower|game/components)
      echo "LOOM physics input game" ;;
    game/widgets) echo "LOOM input gui game" ;;
    game/player) echo "LOOM input physics graphics gui game" ;;
    # The looms the game runs on, put together once for the program and the benchmarks.
    game/looms) echo "LOOM input physics audio network graphics game" ;;
    app) echo "*" ;;
    # A new folder gets its layer here before it may include anything.
    *) echo "" ;;
  esac
}
# Inside the core, an area sees only the areas below it.
allowed_core() {
  local low="math base calls console"
  case "$1" in
    math) echo "math" ;;
    base|calls|console) echo "$low" ;;
    serial) echo "$low serial" ;;
    space) echo "$low serial space" ;;
    # A cog calls its manager and the manager makes cogs: one library, two folders.
    cogs|factory) echo "$low serial space cogs factory" ;;
    assets) echo "$low assets" ;;
    script) echo "$low serial space cogs factory script" ;;
    *) echo "*" ;;
  esac
}
# Inside physics, the shapes and contact tests sit below the loom and its components.
allowed_physics() {
  case "$1" in
    collision) echo "collision" ;;
    *) echo "*" ;;
  esac
}
# Which roles of the scene seam (game/logic/<Role>.h) a game area may include.
seam_roles="ModelSeam TerrainSeam HudSeam EffectSeam DisplaySeam"
allowed_roles() {
  case "$1" in
    game/logic) echo "ModelSeam TerrainSeam EffectSeam DisplaySeam" ;;
    game/level|game/components) echo "TerrainSeam" ;;
    game/invaders) echo "ModelSeam TerrainSeam EffectSeam" ;;
    game/traps) echo "ModelSeam TerrainSeam HudSeam EffectSeam" ;;
    game/tower) echo "ModelSeam" ;;
    game/player) echo "ModelSeam TerrainSeam HudSeam" ;;
    *) echo "" ;;
  esac
}
# The whole seam (every role at once) is for the seam's own files and whoever installs a scene:
# the program, and the logic loom, which puts the headless scene back when its engine ends.
whole_seam="logic/SceneSeam.h logic/HeadlessScene.h player/SceneBinding.h"
seam_file() {
  case "$1" in
    game/logic/SceneSeam.*|game/logic/HeadlessScene.h|game/player/SceneBinding.*) return 0 ;;
  esac
  return 1
}
may_install_seam() {
  case "$1:$2" in
    app/*) return 0 ;;
    game/logic/LogicLoom.cpp:logic/SceneSeam.h) return 0 ;;
  esac
  return 1
}
# Only the graphics device layer talks to OpenGL.
gl_allowed() {
  case "$1" in
    graphics/device/*|tests/graphics/device/*) return 0 ;;
    # The frame benchmarks' references are raw OpenGL.
    bench/GraphicsFrameBench.cpp|bench/TerrainBench.cpp|bench/BenchGl.h) return 0 ;;
  esac
  return 1
}

contains() { local w; for w in $2; do [ "$w" = "*" ] || [ "$w" = "$1" ] && return 0; done; return 1; }

bad=0
while IFS= read -r file; do
  top=${file%%/*}
  [ "$top" = game ] && top=$(echo "$file" | cut -d/ -f1-2)
  [ "$top" = tests ] || [ "$top" = bench ] || [ "$top" = fuzz ] || [ "$top" = tools ] && scope=test || scope=src
  while IFS= read -r line; do
    num=${line%%:*}
    text=${line#*:}
    if [[ $text =~ \#[[:space:]]*include[[:space:]]*\<(GL/|GLES|epoxy/|SDL_opengl) ]] && ! gl_allowed "$file"; then
      echo "$file:$num: OpenGL outside the graphics device layer: $text"; bad=1
    fi
    [[ $text =~ \#[[:space:]]*include[[:space:]]*\"([A-Za-z_]+)/([^\"]*)\" ]] || continue
    inc_top=${BASH_REMATCH[1]}
    inc_rest=${BASH_REMATCH[2]}
    [ "$inc_top" = app ] && { echo "$file:$num: includes the program entry: $text"; bad=1; continue; }
    [ "$scope" = test ] && continue
    if ! contains "$inc_top" "$(allowed_top "$top")"; then
      echo "$file:$num: $top/ may not include from $inc_top/: $text"; bad=1; continue
    fi
    if [ "$inc_top" = game ] && ! seam_file "$file"; then
      if contains "$inc_rest" "$whole_seam" && ! may_install_seam "$file" "$inc_rest"; then
        echo "$file:$num: includes the whole scene seam; include the roles it uses: $text"; bad=1; continue
      fi
      role=${inc_rest#logic/}
      role=${role%.h}
      if [ "logic/$role.h" = "$inc_rest" ] && contains "$role" "$seam_roles" && [[ $top == game/* ]] \
        && ! contains "$role" "$(allowed_roles "$top")"; then
        echo "$file:$num: $top/ may not use the scene seam's $role role: $text"; bad=1; continue
      fi
    fi
    case "$top" in
      game/player|game/*.*) ;;
      # The trap button sits below the player's side, which places it.
      game/widgets)
        if [[ $inc_rest =~ ^player/ ]] && [ "$inc_top" = game ]; then
          echo "$file:$num: game/widgets/ may not include the player's side: $text"; bad=1; continue
        fi ;;
      game/*)
        if [[ $inc_rest =~ ^(player|widgets)/ ]] && [ "$inc_top" = game ]; then
          echo "$file:$num: $top/ may not include the player's side: $text"; bad=1; continue
        fi ;;
    esac
    if [ "$top" = physics ] && [ "$inc_top" = physics ]; then
      area=$(echo "$file" | cut -d/ -f2)
      inc_area=${inc_rest%%/*}
      if ! contains "$inc_area" "$(allowed_physics "$area")"; then
        echo "$file:$num: physics/$area/ may not include from physics/$inc_area: $text"; bad=1
      fi
    fi
    if [ "$top" = LOOM ] && [ "$inc_top" = LOOM ]; then
      area=$(echo "$file" | cut -d/ -f2)
      inc_area=${inc_rest%%/*}
      if ! contains "$inc_area" "$(allowed_core "$area")"; then
        echo "$file:$num: LOOM/$area/ may not include from LOOM/$inc_area/: $text"; bad=1
      fi
    fi
  done < <(grep -n '#[[:space:]]*include' "$file")
done < <(git ls-files '*.h' '*.hpp' '*.cpp' '*.c' '*.inl'; git ls-files --others --exclude-standard '*.h' '*.cpp')

# Components are found by their class (cog.Get<T>()); a bare id belongs in the registration tables.
while IFS= read -r hit; do
  echo "$hit: component found by a literal id; use Get<T>()"; bad=1
done < <(git grep --untracked -nE 'GetComponent\([0-9]' -- '*.h' '*.cpp' ':!LOOM/cogs/CompTypes.h' ':!LOOM/cogs/CompTypes.cpp')

if [ $bad -ne 0 ]; then
  echo "include check failed"
  exit 1
fi
echo "include check passed"
