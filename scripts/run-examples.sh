#!/usr/bin/env bash
# Converts every bundled example and says what each gave.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=out
mkdir -p "$out"
status=0
for model in examples/*.3dmf; do
  name=$(basename "$model" .3dmf)
  if "$build/bin/kelvane-convert" "$model" "$out/$name.t3d" --quiet; then
    polygons=$(grep -c '^Begin Polygon' "$out/$name.t3d")
    actors=$(grep -c '^Begin Actor Class=Brush Name=Brush[2-9]' "$out/$name.t3d")
    bitmaps=$(ls "$out/${name}"_*.bmp 2>/dev/null | tr '\n' ' ')
    echo "$model -> $out/$name.t3d: $polygons polygons in $actors brush actors${bitmaps:+; bitmaps: $bitmaps}"
  else
    status=1
  fi
done
exit $status
