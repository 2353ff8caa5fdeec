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
    # A widget draws through the GUI system its base class hands it.
    game/widgets) echo "LOOM input graphics gui game" ;;
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
  local low="math base calls console files"
  case "$1" in
    math) echo "math" ;;
    base|calls|console|files) echo "$low" ;;
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
    # Their frames end by waiting for the GPU.
    bench/support/FinishFrame.cpp) return 0 ;;
  esac
  return 1
}

contains() { local w; for w in $2; do [ "$w" = "*" ] || [ "$w" = "$1" ] && return 0; done; return 1; }

# Sets msg to why $file (its layer $top, scope src or test) may not include "$inc_top/$inc_rest";
# empty when it may.
judge() {
  local file=$1 top=$2 scope=$3 inc_top=$4 inc_rest=$5 role area inc_area
  msg=""
  [ "$inc_top" = app ] && { msg="includes the program entry"; return; }
  [ "$scope" = test ] && return
  if ! contains "$inc_top" "$(allowed_top "$top")"; then
    msg="$top/ may not include from $inc_top/"; return
  fi
  if [ "$inc_top" = game ] && ! seam_file "$file"; then
    if contains "$inc_rest" "$whole_seam" && ! may_install_seam "$file" "$inc_rest"; then
      msg="includes the whole scene seam; include the roles it uses"; return
    fi
    role=${inc_rest#logic/}
    role=${role%.h}
    if [ "logic/$role.h" = "$inc_rest" ] && contains "$role" "$seam_roles" && [[ $top == game/* ]] \
      && ! contains "$role" "$(allowed_roles "$top")"; then
      msg="$top/ may not use the scene seam's $role role"; return
    fi
  fi
  case "$top" in
    game/player|game/*.*) ;;
    # The trap button sits below the player's side, which places it.
    game/widgets)
      if [[ $inc_rest =~ ^player/ ]] && [ "$inc_top" = game ]; then
        msg="game/widgets/ may not include the player's side"; return
      fi ;;
    game/*)
      if [[ $inc_rest =~ ^(player|widgets)/ ]] && [ "$inc_top" = game ]; then
        msg="$top/ may not include the player's side"; return
      fi ;;
  esac
  if [ "$top" = physics ] && [ "$inc_top" = physics ]; then
    area=$(echo "$file" | cut -d/ -f2)
    inc_area=${inc_rest%%/*}
    if ! contains "$inc_area" "$(allowed_physics "$area")"; then
      msg="physics/$area/ may not include from physics/$inc_area"; return
    fi
  fi
  if [ "$top" = LOOM ] && [ "$inc_top" = LOOM ]; then
    area=$(echo "$file" | cut -d/ -f2)
    inc_area=${inc_rest%%/*}
    if ! contains "$inc_area" "$(allowed_core "$area")"; then
      msg="LOOM/$area/ may not include from LOOM/$inc_area/"; return
    fi
  fi
}

# Sets top (game's areas count as layers of their own) and scope of a file.
layer_of() {
  top=${1%%/*}
  if [ "$top" = game ]; then top=${1#game/}; top=game/${top%%/*}; fi
  case "$top" in tests|bench|fuzz|tools) scope=test ;; *) scope=src ;; esac
}

files=$( (git ls-files '*.h' '*.hpp' '*.cpp' '*.c' '*.inl'; git ls-files --others --exclude-standard '*.h' '*.cpp') | sort -u)
# Our top-level folders: included by quotes and from the root, never as <game/...> like a system library.
ours=$(git ls-files | grep / | cut -d/ -f1 | sort -u | paste -sd'|')

bad=0
while IFS= read -r file; do
  layer_of "$file"
  while IFS= read -r line; do
    num=${line%%:*}
    text=${line#*:}
    if [[ $text =~ \#[[:space:]]*include[[:space:]]*\<(GL/|GLES|epoxy/|SDL_opengl) ]] && ! gl_allowed "$file"; then
      echo "$file:$num: OpenGL outside the graphics device layer: $text"; bad=1
    fi
    if [[ $text =~ \#[[:space:]]*include[[:space:]]*\<($ours)/ ]]; then
      echo "$file:$num: our own header in angle brackets; use quotes: $text"; bad=1; continue
    fi
    [[ $text =~ \#[[:space:]]*include[[:space:]]*\"([A-Za-z_]+)/([^\"]*)\" ]] || continue
    judge "$file" "$top" "$scope" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
    [ -n "$msg" ] && { echo "$file:$num: $msg: $text"; bad=1; }
  done < <(grep -n '#[[:space:]]*include' "$file")
done <<<"$files"

# What a file reaches through the headers it includes counts as included: for each file, every
# header of ours it reaches only through another ("file<TAB>header<TAB>direct include"), and
# "<GL>header" where one of them includes OpenGL.
reached() {
  # shellcheck disable=SC2086
  { echo "$files"; echo "=="; grep -H '#[[:space:]]*include' $files; } | awk '
    !listed && $0 == "==" { listed = 1; next }
    !listed { exists[$0] = 1; order[++count] = $0; next }
    {
      colon = index($0, ":"); file = substr($0, 1, colon - 1); text = substr($0, colon + 1)
      if (text ~ /#[ \t]*include[ \t]*<(GL\/|GLES|epoxy\/|SDL_opengl)/) { gl[file] = 1; next }
      if (!match(text, /#[ \t]*include[ \t]*"[^"]+"/)) next
      inc = substr(text, RSTART, RLENGTH); sub(/^[^"]*"/, "", inc); sub(/"$/, "", inc)
      dir = file; sub(/\/[^\/]*$/, "", dir)
      if (!(inc in exists) && ((dir "/" inc) in exists)) inc = dir "/" inc
      if (inc in exists) deps[file] = deps[file] " " inc
    }
    END {
      for (c = 1; c <= count; ++c) {
        f = order[c]
        for (k in via) delete via[k]
        n = split(deps[f], q, " "); head = 0
        for (i = 1; i <= n; ++i) via[q[i]] = q[i]
        while (head < n) {
          h = q[++head]
          if (gl[h]) print f "\t<GL>" h "\t" via[h]
          m = split(deps[h], next_, " ")
          for (i = 1; i <= m; ++i) {
            d = next_[i]
            if (d in via || d == f) continue
            via[d] = via[h]; q[++n] = d
            print f "\t" d "\t" via[h]
          }
        }
      }
    }'
}

# One verdict per kind of file and kind of header; one report per file and layer reached.
declare -A verdict reported
while IFS=$'\t' read -r file header through; do
  layer_of "$file"
  if [[ $header == "<GL>"* ]]; then
    header=${header#<GL>}
    # The device tests' fixtures read the device's own GL state for the tests that use them.
    gl_allowed "$file" || { [ "$scope" = test ] && [[ $header == tests/graphics/device/* ]]; } ||
      { echo "$file: reaches OpenGL in \"$header\" through \"$through\""; bad=1; }
    continue
  fi
  inc_top=${header%%/*}
  inc_rest=${header#*/}
  target=$inc_top
  case "$inc_top" in
    LOOM|physics) target=$inc_top/${inc_rest%%/*} ;;
    game) contains "$inc_rest" "$whole_seam" || [[ $inc_rest =~ ^logic/[A-Za-z]+Seam\.h$ ]] \
            && target=$header || target=game/${inc_rest%%/*} ;;
  esac
  area=${file#*/}
  area=${area%%/*}
  kind="$top:$scope:$area"
  seam_file "$file" && kind="$kind:$file"
  [[ $file == game/logic/LogicLoom.cpp ]] && kind="$kind:$file"
  key="$kind>$target"
  if [ -z "${verdict[$key]+set}" ]; then
    judge "$file" "$top" "$scope" "$inc_top" "$inc_rest"
    verdict[$key]=$msg
  fi
  [ -n "${verdict[$key]}" ] || continue
  [ -n "${reported[$file>$target]+set}" ] && continue
  reported[$file>$target]=1
  echo "$file: reaches \"$header\" through \"$through\": ${verdict[$key]}"; bad=1
done < <(reached)

# Components are found by their class (cog.Get<T>()); a bare id belongs in the registration tables.
while IFS= read -r hit; do
  echo "$hit: component found by a literal id; use Get<T>()"; bad=1
done < <(git grep --untracked -nE 'GetComponent\([0-9]' -- '*.h' '*.cpp' ':!LOOM/cogs/CompTypes.h' ':!LOOM/cogs/CompTypes.cpp')

if [ $bad -ne 0 ]; then
  echo "include check failed"
  exit 1
fi
echo "include check passed"
