#!/usr/bin/env bash
# Converts every bundled example and says what each gave.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=out
mkdir -p "$out"
status=0
# examples/*.3dmf go through the keyword reader, examples/whole/*.3dmf
# through the whole-format reader, examples/uv/*.3dmf through it with their
# textures mapped (--uv).
for model in examples/*.3dmf examples/whole/*.3dmf examples/uv/*.3dmf; do
  name=$(basename "$model" .3dmf)
  reader=keywords
  options=()
  case $model in
    examples/whole/*) reader=3dmf ;;
    examples/uv/*) reader=3dmf options=(--uv) ;;
  esac
  if "$build/bin/kelvane-convert" "$model" "$out/$name.t3d" --reader "$reader" "${options[@]}" --quiet; then
    polygons=$(grep -c '^Begin Polygon' "$out/$name.t3d")
    actors=$(grep -c '^Begin Actor Class=Brush Name=Brush[2-9]' "$out/$name.t3d")
    stem=$name
    # Under --uv bitmap names keep letters, digits and _ only.
    [ ${#options[@]} -gt 0 ] && stem=$(printf '%s' "$name" | tr -c 'A-Za-z0-9_' '_')
    bitmaps=$(ls "$out/${stem}"_*.bmp 2>/dev/null | tr '\n' ' ')
    echo "$model ($reader${options[*]:+ ${options[*]}}) -> $out/$name.t3d: $polygons polygons in $actors brush actors${bitmaps:+; bitmaps: $bitmaps}"
  else
    status=1
  fi
done
exit $status
