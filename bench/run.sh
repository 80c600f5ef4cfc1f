#!/usr/bin/env bash
# Times kelvane-convert against its floor: a program that reads the same
# input the same way and appends the same pieces (same count, same sizes),
# each with its own open, write and close, which no conversion may avoid.
# The machine is shared, so the two run in turn, and the sizes take turns
# too: every ratio and every comparison between sizes comes from runs made
# side by side in this one run.
#
# Usage: bench/run.sh [BUILD_DIR]
#   BENCH_SIZES    triangle counts to convert (default "10000 100000 1000000")
#   BENCH_REPEAT   rounds; each round converts every size at least once (default 9)
#   BENCH_MAP=1    also convert the largest input in map mode
#   BENCH_BIG_MB   size of the input read to check memory (default 200; 0 skips)
#   BENCH_MICRO=0  skip the micro-benchmarks
#   BENCH_WINDOW=0 skip the window timings (built when Qt is there)
set -euo pipefail

BUILD=${1:-build-bench}
BIN=$BUILD/bin
DATA=$BUILD/bench-data
SIZES=${BENCH_SIZES:-"10000 100000 1000000"}
REPEAT=${BENCH_REPEAT:-9}
BIG_MB=${BENCH_BIG_MB:-200}
mkdir -p "$DATA"

for program in kelvane-convert kelvane-floor kelvane-measure kelvane-generate-model; do
  [ -x "$BIN/$program" ] || { echo "bench: $BIN/$program is missing; run 'make bench'" >&2; exit 1; }
done

# Runs a command under kelvane-measure; sets M_SECONDS, M_KIB and M_CPU
# (user + system seconds).
measure() {
  "$BIN/kelvane-measure" "$DATA/result" -- "$@" >/dev/null || { echo "bench: failed: $*" >&2; exit 1; }
  local status user system
  read -r M_SECONDS M_KIB status user system <"$DATA/result"
  M_CPU=$(awk -v u="$user" -v s="$system" 'BEGIN {printf "%.4f", u + s}')
}

# The input for a triangle count, made again only when the generator changed.
model() {
  local file=$DATA/model-$1.3dmf
  if [ ! -s "$file" ] || [ "$BIN/kelvane-generate-model" -nt "$file" ]; then
    "$BIN/kelvane-generate-model" "$1" "$file" >/dev/null
  fi
  echo "$file"
}

options_for() {  # mode
  OPTIONS=(--no-pictures --quiet)
  TEMPLATE=()
  if [ "$1" = one-brush ]; then OPTIONS+=(--one-brush); else TEMPLATE=("$BIN/StartMapFile.txt"); fi
}

# A first conversion, untimed: warms the caches and gives the piece sizes
# that the floor replays.
prepare() {  # triangles mode
  local input out=$DATA/convert.t3d
  input=$(model "$1")
  options_for "$2"
  rm -f "$out"
  "$BIN/kelvane-convert" "$input" "$out" "${OPTIONS[@]}"
  local split
  split=$("$BIN/kelvane-floor" --split "$out" "$DATA/pieces-$1-$2.bin" "${TEMPLATE[@]}")
  echo "${split%% *} $(stat -c %s "$out")" >"$DATA/pieces-$1-$2.count"
  rm -f "$out"
  : >"$DATA/runs-$1-$2"
}

# One conversion and one floor run, in turns which goes first; appends a
# line to the size's runs: convert wall, cpu, peak KiB; floor wall, cpu,
# peak KiB.
RUNS_DONE=0
run_once() {  # triangles mode
  local input out=$DATA/convert.t3d floorOut=$DATA/floor.t3d pieces outBytes convert floor
  input=$(model "$1")
  options_for "$2"
  read -r pieces outBytes <"$DATA/pieces-$1-$2.count"
  rm -f "$out" "$floorOut"
  for program in convert floor; do
    if [ $((RUNS_DONE % 2)) = 1 ]; then program=$([ $program = convert ] && echo floor || echo convert); fi
    if [ $program = convert ]; then
      measure "$BIN/kelvane-convert" "$input" "$out" "${OPTIONS[@]}"
      convert="$M_SECONDS $M_CPU $M_KIB"
      rm -f "$out"
    else
      measure "$BIN/kelvane-floor" "$input" "$DATA/pieces-$1-$2.bin" "$floorOut"
      [ "$(stat -c %s "$floorOut")" = "$outBytes" ] || { echo "bench: floor wrote other sizes" >&2; exit 1; }
      floor="$M_SECONDS $M_CPU $M_KIB"
      rm -f "$floorOut"
    fi
  done
  RUNS_DONE=$((RUNS_DONE + 1))
  echo "$convert $floor" >>"$DATA/runs-$1-$2"
}

# The table row of a size, from its runs.
summarise() {  # triangles mode
  local inBytes pieces outBytes
  inBytes=$(stat -c %s "$(model "$1")")
  read -r pieces outBytes <"$DATA/pieces-$1-$2.count"
  awk -v n="$1" -v mode="$2" -v b="$inBytes" -v p="$pieces" '
    function median(a, k,   i, j, t) {
      for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    { k++; cw = (k == 1 || $1 < cw) ? $1 : cw; fw = (k == 1 || $4 < fw) ? $4 : fw
      cc = (k == 1 || $2 < cc) ? $2 : cc; fc = (k == 1 || $5 < fc) ? $5 : fc
      cp = ($3 > cp) ? $3 : cp; fp = ($6 > fp) ? $6 : fp
      wr[k] = $1 / $4; cr[k] = $2 / $5 }
    END {
      printf "| %9d | %-9s | %5.1f | %7.3f | %5.1f | %7.0f | %6.2f | %6.2f | %5.1f | %7.3f | %6.2f | %5.1f | %5.3f | %5.3f | %5.3f | %3d |\n",
        n, mode, b / 1e6, cw, b / 1e6 / cw, n / cw, cw / n * 1e6, cc / n * 1e6, cp / 1024,
        fw, fw / p * 1e6, fp / 1024, cw / fw, median(wr, k), median(cr, k), k
    }' "$DATA/runs-$1-$2"
}

echo "kelvane-convert against the floor (open, write, close per piece)"
echo "machine: $(nproc) cores, load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "times: the least of the runs. ratio: convert ÷ floor wall time, least ÷ least; median: of each"
echo "run's wall-time ratio; cpu: of each run's CPU-time (user + system) ratio, which waiting for a"
echo "core does not inflate. cpu µs/poly: least CPU time per polygon."

rows=()
largest=0
for n in $SIZES; do
  rows+=("$n one-brush")
  [ "$n" -gt "$largest" ] && largest=$n
done
[ "${BENCH_MAP:-0}" = 1 ] && rows+=("$largest map")
smallest=$(echo "$SIZES" | tr ' ' '\n' | grep . | sort -n | head -1)

for row in "${rows[@]}"; do prepare $row; done
for ((round = 0; round < REPEAT; round++)); do
  for row in "${rows[@]}"; do
    set -- $row
    times=$((30000 / $1))
    [ "$times" -lt 1 ] && times=1
    for ((t = 0; t < times; t++)); do run_once "$1" "$2"; done
  done
done

echo
echo "| triangles | mode      | in MB | convert s | MB/s | polygons/s | µs/poly | cpu µs/poly | peak MB | floor s | µs/piece | floor MB | ratio | median | cpu | runs |"
echo "|----------:|-----------|------:|----------:|-----:|-----------:|--------:|------------:|--------:|--------:|---------:|---------:|------:|-------:|----:|-----:|"
: >"$DATA/table"
for row in "${rows[@]}"; do summarise $row | tee -a "$DATA/table"; done
echo "(convert runs with --no-pictures and scale 20; peak MB: the largest peak resident memory of the runs)"

echo
# The goals: at the largest input conversion within 1.10 of the floor,
# peak memory within the input plus 64 MB, time per polygon linear.
awk -v s="$smallest" -v l="$largest" '
  BEGIN { FS = "|"; peakOk = 1; worst = -1e9 }
  { gsub(/ /, "") }
  $3 == "one-brush" { over = $10 - $4; peakOk = peakOk && over <= 64; if (over > worst) worst = over }
  $2 == s && $3 == "one-brush" { wallS = $8; cpuS = $9; floorS = $12 }
  $2 == l && $3 == "one-brush" { wallL = $8; cpuL = $9; floorL = $12; ratio = $14; median = $15; cpu = $16 }
  END {
    printf "at %d triangles, convert ÷ floor: %.3f least ÷ least, %.3f median, %.3f CPU (goal: 1.10 or less)\n", l, ratio, median, cpu
    printf "peak memory above the input: at most %.1f MB (goal: 64 MB or less): %s\n", worst, peakOk ? "met" : "NOT met"
    printf "per polygon at %d triangles ÷ at %d: %.3f wall, %.3f CPU; the floor per piece: %.3f (goal: 1.15 or less)\n",
      l, s, wallL / wallS, cpuL / cpuS, floorL / floorS
  }' "$DATA/table"

if [ "$BIG_MB" != 0 ]; then
  # About 37 bytes of input per triangle.
  big=$(model $((BIG_MB * 1000000 / 37)))
  : >"$DATA/no-pieces.bin"
  measure "$BIN/kelvane-floor" "$big" "$DATA/no-pieces.bin" "$DATA/floor.t3d"
  rm -f "$DATA/floor.t3d"
  awk -v b="$(stat -c %s "$big")" -v k="$M_KIB" -v t="$M_SECONDS" 'BEGIN {
    printf "reading a %.1f MB input whole (ReadTextFile): %.3f s, peak memory %.1f MB, %.2f × the input\n", b / 1e6, t, k / 1024, k * 1024 / b }'
fi

if [ -x "$BIN/kelvane-window-bench" ] && [ "${BENCH_WINDOW:-1}" != 0 ]; then
  # The same largest input through the window (offscreen), in turns with the
  # command line; then one 512 x 512 texture painted and saved in the window.
  input=$(model "$largest")
  best_window=""
  best_cli=""
  for ((round = 0; round < ${BENCH_WINDOW_REPEAT:-3}; round++)); do
    rm -f "$DATA/window.t3d" "$DATA/convert.t3d"
    w=$(QT_QPA_PLATFORM=offscreen "$BIN/kelvane-window-bench" "$input" "$DATA/window.t3d" --one-brush --no-pictures)
    measure "$BIN/kelvane-convert" "$input" "$DATA/convert.t3d" --one-brush --no-pictures --quiet
    cmp -s "$DATA/window.t3d" "$DATA/convert.t3d" || { echo "bench: the window wrote another document" >&2; exit 1; }
    best_window=$(awk -v a="$w" -v b="$best_window" 'BEGIN { print (b == "" || a < b) ? a : b }')
    best_cli=$(awk -v a="$M_SECONDS" -v b="$best_cli" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  rm -f "$DATA/window.t3d" "$DATA/convert.t3d"
  mkdir -p "$DATA/texture"
  t=$(QT_QPA_PLATFORM=offscreen "$BIN/kelvane-window-bench" --texture 512 "$DATA/texture")
  echo
  awk -v n="$largest" -v w="$best_window" -v c="$best_cli" -v t="$t" 'BEGIN {
    printf "window (offscreen), %d triangles, one brush: %.3f s against the command line'"'"'s %.3f s: %.3f × (goal: 1.5 or less)\n", n, w, c, w / c
    printf "window: a 512 x 512 texture painted and saved in %.3f s (goal: under 3 s)\n", t }'
fi

if [ "${BENCH_MICRO:-1}" != 0 ] && [ -x "$BIN/kelvane-microbench" ]; then
  echo
  "$BIN/kelvane-microbench" --benchmark_min_time=0.3
fi
