#!/usr/bin/env bash
# Converts every bundled example with the default options, as a new user's
# plain `kelvane-convert MODEL` does (the input's header chooses the
# reader), and says what each gave; then the textured one of examples/uv/
# once more with its texture mapping (--uv), into out/uv/.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=out
mkdir -p "$out/uv"
status=0

# MODEL: the program's summary line; N brush actors (the template's own
# two, Brush0 and Brush1, not counted), then the program's notes.
convert() { # MODEL OUTPUT [OPTION...]
  local model=$1 output=$2
  shift 2
  local summary
  if summary=$("$build/bin/kelvane-convert" "$model" "$output" "$@"); then
    local actors
    actors=$(grep -cE '^Begin Actor Class=Brush Name=Brush([2-9]|[1-9][0-9]+)'$'\r''?$' "$output")
    local noun="brush actors"
    [ "$actors" = 1 ] && noun="brush actor"
    # The summary is the first line; notes (what was left out, the mapping) follow.
    local first=${summary%%$'\n'*}
    echo "$model${*:+ ($*)}: ${first#Wrote }; $actors $noun"
    [ "$first" != "$summary" ] && printf '%s\n' "${summary#*$'\n'}"
  else
    status=1
  fi
}

for model in examples/*.3dmf examples/*/*.3dmf; do
  convert "$model" "$out/$(basename "$model" .3dmf).t3d"
done
for model in examples/uv/*.3dmf; do
  convert "$model" "$out/uv/$(basename "$model" .3dmf).t3d" --uv
done
exit $status
