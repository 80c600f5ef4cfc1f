#!/usr/bin/env bash
# Takes docs/screenshot.png: the window under a virtual X display after it has
# converted a model with a texture. Usage: scripts/screenshot.sh [MODEL [PNG
# [CHECKBOX...]]]: PNG defaults to docs/screenshot.png; each CHECKBOX (an
# object name, like CheckTextureMapping) is ticked before Go.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}

scripts/install-deps.sh xvfb xauth
cmake -S . -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" -j 2 --target kelvane-screenshot kelvane

model=${1:-tests/data/crate.3dmf}
png=${2:-docs/screenshot.png}
shift $(( $# > 2 ? 2 : $# ))
# A fixed scratch folder, so the paths in the picture read the same each time.
work=/tmp/kelvane/models
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cp "$model" "$work/"
mkdir -p docs
# The model is converted in a scratch folder, so its output and bitmap
# stay out of the tree.
(cd "$work" && xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
   env QT_QPA_PLATFORM=xcb "$OLDPWD/$BUILD/bin/kelvane-screenshot" "$(basename "$model")" \
   "$OLDPWD/$png" "$@")
echo "Wrote $png"
