#!/usr/bin/env bash
# Converts every bundled example and says what each gave.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=out
mkdir -p "$out"
status=0
# examples/*.3dmf go through the keyword reader, examples/whole/*.3dmf
# through the whole-format reader.
for model in examples/*.3dmf examples/whole/*.3dmf; do
  name=$(basename "$model" .3dmf)
  reader=keywords
  case $model in examples/whole/*) reader=3dmf ;; esac
  if "$build/bin/kelvane-convert" "$model" "$out/$name.t3d" --reader "$reader" --quiet; then
    polygons=$(grep -c '^Begin Polygon' "$out/$name.t3d")
    actors=$(grep -c '^Begin Actor Class=Brush Name=Brush[2-9]' "$out/$name.t3d")
    bitmaps=$(ls "$out/${name}"_*.bmp 2>/dev/null | tr '\n' ' ')
    echo "$model ($reader) -> $out/$name.t3d: $polygons polygons in $actors brush actors${bitmaps:+; bitmaps: $bitmaps}"
  else
    status=1
  fi
done
exit $status
