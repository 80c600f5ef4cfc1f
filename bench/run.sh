#!/usr/bin/env bash
# Times kelvane-convert against its floor: a program that reads the same
# input the same way and appends the same pieces (same count, same sizes),
# each with its own open, write and close, which no conversion may avoid.
# The two are run in turn, several times, on a machine that others share,
# so the ratio is taken within this one run.
#
# Usage: bench/run.sh [BUILD_DIR]
#   BENCH_SIZES    triangle counts to convert (default "10000 100000 1000000")
#   BENCH_REPEAT   least number of runs of each program per size (default 3)
#   BENCH_MAP=1    also convert the largest input in map mode
#   BENCH_BIG_MB   size of the input read to check memory (default 200; 0 skips)
#   BENCH_MICRO=0  skip the micro-benchmarks
set -euo pipefail

BUILD=${1:-build-bench}
BIN=$BUILD/bin
DATA=$BUILD/bench-data
SIZES=${BENCH_SIZES:-"10000 100000 1000000"}
REPEAT=${BENCH_REPEAT:-3}
BIG_MB=${BENCH_BIG_MB:-200}
mkdir -p "$DATA"

for program in kelvane-convert kelvane-floor kelvane-measure kelvane-generate-model; do
  [ -x "$BIN/$program" ] || { echo "bench: $BIN/$program is missing; run 'make bench'" >&2; exit 1; }
done

# Runs a command under kelvane-measure; sets M_SECONDS and M_KIB.
measure() {
  "$BIN/kelvane-measure" "$DATA/result" -- "$@" >/dev/null || { echo "bench: failed: $*" >&2; exit 1; }
  local status
  read -r M_SECONDS M_KIB status <"$DATA/result"
}

# The input for a triangle count, made again only when the generator changed.
model() {
  local triangles=$1 file=$DATA/model-$1.3dmf
  if [ ! -s "$file" ] || [ "$BIN/kelvane-generate-model" -nt "$file" ]; then
    "$BIN/kelvane-generate-model" "$triangles" "$file" >/dev/null
  fi
  echo "$file"
}

min() { tr ' ' '\n' | grep . | sort -g | head -1; }
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
max() { tr ' ' '\n' | grep . | sort -g | tail -1; }

# One row: convert and floor in turn, `runs` times each.
bench_size() {
  local triangles=$1 mode=$2
  local input options template=()
  input=$(model "$triangles")
  options=(--no-pictures --quiet)
  if [ "$mode" = one-brush ]; then options+=(--one-brush); else template=("$BIN/StartMapFile.txt"); fi
  local out=$DATA/convert.t3d floorOut=$DATA/floor.t3d sizes=$DATA/pieces-$triangles-$mode.bin

  # A first conversion, untimed: warms the caches and gives the piece sizes.
  rm -f "$out" "$floorOut"
  "$BIN/kelvane-convert" "$input" "$out" "${options[@]}"
  local pieces
  pieces=$("$BIN/kelvane-floor" --split "$out" "$sizes" "${template[@]}")
  local outBytes
  outBytes=$(stat -c %s "$out")

  local runs=$REPEAT
  local least=$((150000 / triangles))
  [ "$least" -gt "$runs" ] && runs=$least
  local convTimes="" floorTimes="" convPeaks="" floorPeaks="" ratios=""
  for ((r = 0; r < runs; r++)); do
    rm -f "$out" "$floorOut"
    measure "$BIN/kelvane-convert" "$input" "$out" "${options[@]}"
    local ct=$M_SECONDS ck=$M_KIB
    rm -f "$out"
    measure "$BIN/kelvane-floor" "$input" "$sizes" "$floorOut"
    local ft=$M_SECONDS fk=$M_KIB
    [ "$(stat -c %s "$floorOut")" = "$outBytes" ] || { echo "bench: floor wrote other sizes" >&2; exit 1; }
    rm -f "$floorOut"
    convTimes+=" $ct"; floorTimes+=" $ft"; convPeaks+=" $ck"; floorPeaks+=" $fk"
    ratios+=" $(awk -v c="$ct" -v f="$ft" 'BEGIN {printf "%.4f", c / f}')"
  done
  rm -f "$out" "$floorOut"

  local inBytes
  inBytes=$(stat -c %s "$input")
  local cmin fmin cpeak fpeak rmed
  cmin=$(echo "$convTimes" | min); fmin=$(echo "$floorTimes" | min)
  cpeak=$(echo "$convPeaks" | max); fpeak=$(echo "$floorPeaks" | max)
  rmed=$(echo "$ratios" | median)
  awk -v n="$triangles" -v mode="$mode" -v b="$inBytes" -v c="$cmin" -v f="$fmin" \
      -v cp="$cpeak" -v fp="$fpeak" -v rm="$rmed" -v runs="$runs" -v p="${pieces%% *}" 'BEGIN {
    printf "| %9d | %-9s | %8.1f | %8.3f | %7.1f | %11.0f | %8.2f | %8.1f | %8.3f | %8.2f | %8.1f | %6.3f | %6.3f | %4d |\n",
      n, mode, b / 1e6, c, b / 1e6 / c, n / c, c / n * 1e6, cp / 1024, f, f / p * 1e6, fp / 1024, c / f, rm, runs
  }' | tee -a "$DATA/table"
}

echo "kelvane-convert against the floor (open, write, close per piece)"
echo "machine: $(nproc) cores, load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "times: least of the runs; ratio: least ÷ least, and the median of each run's convert ÷ floor"
echo
: >"$DATA/table"
echo "| triangles | mode      | input MB | convert s | MB/s | polygons/s | µs/polygon | peak MB | floor s | µs/piece | floor MB | ratio | median | runs |"
echo "|----------:|-----------|---------:|----------:|-----:|-----------:|-----------:|--------:|--------:|---------:|---------:|------:|-------:|-----:|"
largest=0
for n in $SIZES; do
  bench_size "$n" one-brush
  [ "$n" -gt "$largest" ] && largest=$n
done
if [ "${BENCH_MAP:-0}" = 1 ]; then bench_size "$largest" map; fi
echo "(convert runs with --no-pictures, scale 20; peak MB is the largest peak resident memory of the runs)"

# Time per polygon, largest input against smallest.
smallest=$(echo "$SIZES" | tr ' ' '\n' | grep . | sort -n | head -1)
awk -v s="$smallest" -v l="$largest" '$2 == s && $4 == "one-brush" {a = $14} $2 == l && $4 == "one-brush" {b = $14}
  END { if (a > 0 && b > 0) printf "\nµs per polygon at %d triangles ÷ at %d: %.3f\n", l, s, b / a }' "$DATA/table"

if [ "$BIG_MB" != 0 ]; then
  # About 37 bytes of input per triangle.
  bigTriangles=$((BIG_MB * 1000000 / 37))
  big=$(model "$bigTriangles")
  : >"$DATA/no-pieces.bin"
  measure "$BIN/kelvane-floor" "$big" "$DATA/no-pieces.bin" "$DATA/floor.t3d"
  bt=$M_SECONDS bk=$M_KIB
  rm -f "$DATA/floor.t3d"
  awk -v b="$(stat -c %s "$big")" -v k="$bk" -v t="$bt" 'BEGIN {
    printf "Reading a %.1f MB input whole: %.3f s, peak memory %.1f MB (%.2f × the input)\n", b / 1e6, t, k / 1024, k * 1024 / b }'
fi

if [ "${BENCH_MICRO:-1}" != 0 ] && [ -x "$BIN/kelvane-microbench" ]; then
  echo
  "$BIN/kelvane-microbench" --benchmark_min_time=0.3
fi
