#!/usr/bin/env bash
# Times kelvane-convert against its floor: a program that reads the same
# input the same way and appends the same pieces (same count, same sizes),
# each with its own open, write and close, which no conversion may avoid.
# The machine is shared, so the two run in turn, and the rows take turns
# too (in reverse order every other round): every ratio and every comparison
# between rows comes from runs made side by side in this one run.
#
# Rows: the mixed text model (TriMesh, Mesh, Polyhedron) through the keyword
# reader, as always; then a model of TriMesh objects only, in text through
# the keyword reader and through the whole-format reader (--reader 3dmf) on
# the same file, and in binary form through the whole-format reader. Each
# row has its own floor, made from the pieces its own conversion wrote.
#
# The programs make polygon records on the run's thread by default. Rows
# marked "ahead" run the same programs with KELVANE_RECORDS_AHEAD=always,
# records made ahead on a worker thread; rows marked "core1" run convert and
# floor under taskset -c 0, on one core. At the largest size: the mixed
# model and a model of 1000-triangle objects in map mode, each both ways,
# and the mixed model on one core both ways. Rows marked "editor" write the
# editor frame (--editor-frame) of the TriMesh model through both readers at
# 300k triangles and more, beside the default document of the same model and
# reader; their floor is the reading and the document written once, in the
# blocks of the stream that editor documents go through.
#
# Usage: bench/run.sh [BUILD_DIR]
#   BENCH_SIZES    triangle counts to convert (default "10000 300000 1000000")
#   BENCH_REPEAT   rounds; each round converts every row at least once, small
#                  sizes 30000/N times (default 7)
#   BENCH_ELLIPSOID=0  skip the row of one ellipsoid cut 1000 x 1000
#   BENCH_READERS=0  only the mixed model: skip the TriMesh rows of the two
#                  readers and the binary form
#   BENCH_AHEAD=0  skip the rows of records made ahead and of one core
#   BENCH_EDITOR=0 skip the editor frame's rows
#   BENCH_BIG_MB   size of the input read to check memory (default 200; 0 skips)
#   BENCH_MICRO=0  skip the micro-benchmarks
#   BENCH_WINDOW=0 skip the window timings (built when Qt is there)
#   BENCH_WINDOW_REPEAT  rounds of the window against the command line (default 3)
#   BENCH_INSTRUCTIONS_TRIANGLES  size of the models whose instructions per
#                  polygon callgrind counts (default 50000; bench/instructions.py)
#
# The instruction counts need valgrind (make bench installs it); without it
# the benchmark fails at once rather than leave them out.
set -euo pipefail

BUILD=${1:-build-bench}
BIN=$BUILD/bin
DATA=$BUILD/bench-data
SIZES=${BENCH_SIZES:-"10000 300000 1000000"}
REPEAT=${BENCH_REPEAT:-7}
BIG_MB=${BENCH_BIG_MB:-200}
mkdir -p "$DATA"

for program in kelvane-convert kelvane-floor kelvane-measure kelvane-generate-model; do
  [ -x "$BIN/$program" ] || { echo "bench: $BIN/$program is missing; run 'make bench'" >&2; exit 1; }
done
for tool in valgrind python3; do
  command -v "$tool" >/dev/null || {
    echo "bench: $tool is missing: the instructions per polygon cannot be counted (make bench installs it)" >&2
    exit 1
  }
done

# Runs a command under kelvane-measure; sets M_SECONDS, M_KIB and M_CPU
# (user + system seconds).
measure() {
  "$BIN/kelvane-measure" "$DATA/result" -- "$@" >/dev/null || { echo "bench: failed: $*" >&2; exit 1; }
  local status user system
  read -r M_SECONDS M_KIB status user system <"$DATA/result"
  M_CPU=$(awk -v u="$user" -v s="$system" 'BEGIN {printf "%.4f", u + s}')
}

# The input of a triangle count and model (mixed, trimesh, binary), made
# again only when the generator changed.
model() {  # triangles model
  local file=$DATA/model-$2-$1.3dmf option=()
  case $2 in
    trimesh) option=(--trimesh-only) ;;
    binary) option=(--binary) ;;
    objects1000) option=(--per-object 1000) ;;
    ellipsoid)
      # One ellipsoid cut 1000 x 1000: 2 x 1000 x 999 triangles.
      [ -s "$file" ] || printf '3DMetafile ( 1 6 Normal )\nSubdivisionStyle ( Constant 1000 1000 )\nEllipsoid ( 0 0 3 0 2 0 1 0 0 0 0 0 0 1 0 1 )\n' >"$file"
      echo "$file"
      return ;;
  esac
  if [ ! -s "$file" ] || [ "$BIN/kelvane-generate-model" -nt "$file" ]; then
    "$BIN/kelvane-generate-model" "${option[@]}" "$1" "$file" >/dev/null
  fi
  echo "$file"
}

options_for() {  # reader mode
  OPTIONS=(--no-pictures --quiet)
  TEMPLATE=()
  # The models begin with a 3DMF header: the keyword rows name their reader.
  [ "$1" = 3dmf ] && OPTIONS+=(--reader 3dmf)
  [ "$1" = keywords ] && OPTIONS+=(--reader keywords)
  if [ "$2" = one-brush ]; then OPTIONS+=(--one-brush); else TEMPLATE=("$BIN/StartMapFile.txt"); fi
}

# How a row's variant runs its programs: PREFIX before both, CONVERT_ENV
# for the conversion only.
variant_of() {  # variant
  PREFIX=()
  CONVERT_ENV=(env)
  case $1 in
    ahead) CONVERT_ENV=(env KELVANE_RECORDS_AHEAD=always) ;;
    core1) PREFIX=(taskset -c 0) ;;
    core1-ahead) PREFIX=(taskset -c 0) CONVERT_ENV=(env KELVANE_RECORDS_AHEAD=always) ;;
    editor) OPTIONS+=(--editor-frame) ;;
  esac
}

# The stream's block (T3dWriter::kStreamBlock), in which the editor
# frame's floor writes its document.
STREAM_BLOCK=$((4 << 20))

# A first conversion, untimed: warms the caches and gives the piece sizes
# that the floor replays, and a checksum of the document.
prepare() {  # triangles model reader mode [variant]
  local input out=$DATA/convert.t3d key=$1-$2-$3-$4-${5:-default}
  input=$(model "$1" "$2")
  options_for "$3" "$4"
  variant_of "${5:-default}"
  rm -f "$out"
  "${PREFIX[@]}" "${CONVERT_ENV[@]}" "$BIN/kelvane-convert" "$input" "$out" "${OPTIONS[@]}"
  local split
  if [ "${5:-default}" = editor ]; then
    split=$("$BIN/kelvane-floor" --blocks "$out" "$DATA/pieces-$key.bin" "$STREAM_BLOCK")
  else
    split=$("$BIN/kelvane-floor" --split "$out" "$DATA/pieces-$key.bin" "${TEMPLATE[@]}")
  fi
  echo "${split%% *} $(stat -c %s "$out")" >"$DATA/pieces-$key.count"
  cksum <"$out" >"$DATA/sum-$key"
  rm -f "$out"
  : >"$DATA/runs-$key"
}

# One conversion and one floor run, in turns which goes first; appends a
# line to the row's runs: convert wall, cpu, peak KiB; floor wall, cpu,
# peak KiB.
RUNS_DONE=0
run_once() {  # triangles model reader mode [variant]
  local input out=$DATA/convert.t3d floorOut=$DATA/floor.t3d pieces outBytes convert floor
  local key=$1-$2-$3-$4-${5:-default}
  input=$(model "$1" "$2")
  options_for "$3" "$4"
  variant_of "${5:-default}"
  read -r pieces outBytes <"$DATA/pieces-$key.count"
  rm -f "$out" "$floorOut"
  for program in convert floor; do
    if [ $((RUNS_DONE % 2)) = 1 ]; then program=$([ $program = convert ] && echo floor || echo convert); fi
    if [ $program = convert ]; then
      measure "${PREFIX[@]}" "${CONVERT_ENV[@]}" "$BIN/kelvane-convert" "$input" "$out" "${OPTIONS[@]}"
      convert="$M_SECONDS $M_CPU $M_KIB"
      rm -f "$out"
    else
      measure "${PREFIX[@]}" "$BIN/kelvane-floor" "$input" "$DATA/pieces-$key.bin" "$floorOut"
      [ "$(stat -c %s "$floorOut")" = "$outBytes" ] || { echo "bench: floor wrote other sizes" >&2; exit 1; }
      floor="$M_SECONDS $M_CPU $M_KIB"
      rm -f "$floorOut"
    fi
  done
  RUNS_DONE=$((RUNS_DONE + 1))
  echo "$convert $floor" >>"$DATA/runs-$key"
}

# The table row of a row, from its runs.
summarise() {  # triangles model reader mode [variant]
  local inBytes pieces outBytes key=$1-$2-$3-$4-${5:-default}
  inBytes=$(stat -c %s "$(model "$1" "$2")")
  read -r pieces outBytes <"$DATA/pieces-$key.count"
  awk -v n="$1" -v input="$2" -v reader="$3" -v mode="$4" -v variant="${5:-default}" -v b="$inBytes" -v p="$pieces" '
    function median(a, k,   i, j, t) {
      for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    { k++; cw = (k == 1 || $1 < cw) ? $1 : cw; fw = (k == 1 || $4 < fw) ? $4 : fw
      cc = (k == 1 || $2 < cc) ? $2 : cc; fc = (k == 1 || $5 < fc) ? $5 : fc
      cp = ($3 > cp) ? $3 : cp; fp = ($6 > fp) ? $6 : fp
      wr[k] = $1 / $4; cr[k] = $2 / $5 }
    END {
      printf "| %9d | %-11s | %-8s | %-9s | %-9s | %5.1f | %7.3f | %5.1f | %7.0f | %6.2f | %6.2f | %5.1f | %7.3f | %6.2f | %5.1f | %5.3f | %5.3f | %5.3f | %3d |\n",
        n, input, reader, mode, variant, b / 1e6, cw, b / 1e6 / cw, n / cw, cw / n * 1e6, cc / n * 1e6, cp / 1024,
        fw, fw / p * 1e6, fp / 1024, cw / fw, median(wr, k), median(cr, k), k
    }' "$DATA/runs-$key"
}

# Two rows of one size against each other, run by run (the k-th runs of the
# two rows were made in the same round): least ÷ least wall time, and the
# medians of the runs' wall-time and CPU-time ratios.
compare() {  # keyA keyB
  paste -d' ' "$DATA/runs-$1" "$DATA/runs-$2" | awk '
    function median(a, k,   i, j, t) {
      for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    NF == 12 { k++; a = (k == 1 || $1 < a) ? $1 : a; b = (k == 1 || $7 < b) ? $7 : b
      wr[k] = $1 / $7; cr[k] = $2 / $8 }
    END { printf "%.3f %.3f %.3f\n", a / b, median(wr, k), median(cr, k) }'
}

echo "kelvane-convert against the floor (open, write, close per piece)"
echo "machine: $(nproc) cores, load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "times: the least of the runs. ratio: convert ÷ floor wall time, least ÷ least; median: of each"
echo "run's wall-time ratio; cpu: of each run's CPU-time (user + system) ratio, which waiting for a"
echo "core does not inflate. cpu µs/poly: least CPU time per polygon."

rows=()
largest=0
for n in $SIZES; do
  rows+=("$n mixed keywords one-brush")
  [ "$n" -gt "$largest" ] && largest=$n
done
if [ "${BENCH_AHEAD:-1}" != 0 ]; then
  rows+=("$largest mixed keywords one-brush ahead"
         "$largest objects1000 keywords map" "$largest objects1000 keywords map ahead"
         "$largest mixed keywords one-brush core1" "$largest mixed keywords one-brush core1-ahead")
fi
if [ "${BENCH_READERS:-1}" != 0 ]; then
  for n in $SIZES; do
    rows+=("$n trimesh keywords one-brush" "$n trimesh 3dmf one-brush" "$n binary 3dmf one-brush")
  done
fi
editorSizes=()
if [ "${BENCH_EDITOR:-1}" != 0 ]; then
  for n in $SIZES; do
    [ "$n" -lt 300000 ] && continue
    editorSizes+=("$n")
    for reader in keywords 3dmf; do
      [ "${BENCH_READERS:-1}" != 0 ] || rows+=("$n trimesh $reader one-brush")
      rows+=("$n trimesh $reader one-brush editor")
    done
  done
fi
[ "${BENCH_ELLIPSOID:-1}" != 0 ] && rows+=("1998000 ellipsoid 3dmf one-brush")
smallest=$(echo "$SIZES" | tr ' ' '\n' | grep . | sort -n | head -1)

for row in "${rows[@]}"; do prepare $row; done
for ((round = 0; round < REPEAT; round++)); do
  order=("${rows[@]}")
  if [ $((round % 2)) = 1 ]; then
    order=()
    for ((i = ${#rows[@]} - 1; i >= 0; i--)); do order+=("${rows[i]}"); done
  fi
  for row in "${order[@]}"; do
    set -- $row
    times=$((30000 / $1))
    [ "$times" -lt 1 ] && times=1
    for ((t = 0; t < times; t++)); do run_once $row; done
  done
done

echo
echo "| triangles | input       | reader   | mode      | records   | in MB | convert s | MB/s | polygons/s | µs/poly | cpu µs/poly | peak MB | floor s | µs/piece | floor MB | ratio | median | cpu | runs |"
echo "|----------:|-------------|----------|-----------|-----------|------:|----------:|-----:|-----------:|--------:|------------:|--------:|--------:|---------:|---------:|------:|-------:|----:|-----:|"
: >"$DATA/table"
for row in "${rows[@]}"; do summarise $row | tee -a "$DATA/table"; done
echo "(input: mixed = TriMesh, Mesh and Polyhedron objects in text; objects1000 = the same in objects of"
echo "about 1000 triangles; trimesh = TriMesh objects only in text; binary = the same TriMesh objects in"
echo "binary 3DMF; ellipsoid = one Ellipsoid cut 1000 x 1000. records: default = made on the run's"
echo "thread; ahead = KELVANE_RECORDS_AHEAD=always, made on a worker thread; core1 = convert and floor"
echo "under taskset -c 0; editor = --editor-frame, its floor the document written once in blocks of"
echo "$((STREAM_BLOCK >> 20)) MiB."
echo "Runs with --no-pictures and scale 20;"
echo "peak MB: the largest peak resident memory of the runs)"

echo
# The goals: at the largest input conversion within 1.10 of the floor,
# peak memory within the input plus 64 MB, time per polygon linear.
awk -v s="$smallest" -v l="$largest" '
  BEGIN { FS = "|"; peakOk = 1; worst = -1e9 }
  { gsub(/ /, "") }
  $5 == "one-brush" && $3 != "ellipsoid" { over = $13 - $7; peakOk = peakOk && over <= 64; if (over > worst) worst = over }
  $2 == s && $3 == "mixed" && $5 == "one-brush" && $6 == "default" { wallS = $11; cpuS = $12; floorS = $15 }
  $2 == l && $3 == "mixed" && $5 == "one-brush" && $6 == "default" { wallL = $11; cpuL = $12; floorL = $15; ratio = $17; median = $18; cpu = $19 }
  END {
    printf "at %d triangles, convert ÷ floor: %.3f least ÷ least, %.3f median, %.3f CPU (goal: 1.05 or less: %s)\n", l, ratio, median, cpu, (ratio <= 1.05 && median <= 1.05) ? "met" : "NOT met"
    printf "peak memory above the input, every row of a model file: at most %.1f MB (goal: 64 MB or less): %s\n", worst, peakOk ? "met" : "NOT met"
    printf "per polygon at %d triangles ÷ at %d: %.3f wall, %.3f CPU; the floor per piece: %.3f (goal: 1.15 or less)\n",
      l, s, wallL / wallS, cpuL / cpuS, floorL / floorS
  }' "$DATA/table"

if [ "${BENCH_READERS:-1}" != 0 ]; then
  echo
  echo "the two readers and the two forms, on the TriMesh model, run by run (least ÷ least wall time;"
  echo "median of the runs' wall-time ratios; median of their CPU-time ratios):"
  for n in $SIZES; do
    same="same document"
    cmp -s "$DATA/sum-$n-trimesh-keywords-one-brush-default" "$DATA/sum-$n-trimesh-3dmf-one-brush-default" ||
      same="OTHER DOCUMENTS"
    read -r least median cpu <<<"$(compare "$n-trimesh-3dmf-one-brush-default" "$n-trimesh-keywords-one-brush-default")"
    awk -v n="$n" -v a="$least" -v m="$median" -v c="$cpu" -v same="$same" 'BEGIN {
      printf "%9d triangles: 3dmf ÷ keywords (text): %.3f least, %.3f median, %.3f CPU (goal: 1.10 or less: %s); %s\n",
        n, a, m, c, (a <= 1.10 && m <= 1.10) ? "met" : "NOT met", same }'
    read -r least median cpu <<<"$(compare "$n-binary-3dmf-one-brush-default" "$n-trimesh-3dmf-one-brush-default")"
    awk -v n="$n" -v a="$least" -v m="$median" -v c="$cpu" 'BEGIN {
      printf "%9d triangles: binary ÷ text (3dmf):       %.3f least, %.3f median, %.3f CPU (goal: 1.00 or less: %s)\n",
        n, a, m, c, (a <= 1.00 && m <= 1.00) ? "met" : "NOT met" }'
  done
fi

# The editor frame against the default document of the same model and
# reader, run by run; at 300k triangles its wall time is to be a quarter of
# the default's or less.
if [ "${#editorSizes[@]}" -gt 0 ]; then
  echo
  echo "the editor frame against the default document, TriMesh model, one brush, run by run (least ÷"
  echo "least wall time; median of the runs' wall-time ratios; median of their CPU-time ratios), $(nproc) cores:"
  for n in "${editorSizes[@]}"; do
    for reader in keywords 3dmf; do
      read -r least median cpu <<<"$(compare "$n-trimesh-$reader-one-brush-editor" "$n-trimesh-$reader-one-brush-default")"
      awk -v n="$n" -v r="$reader" -v a="$least" -v m="$median" -v c="$cpu" 'BEGIN {
        goal = (n == 300000) ? sprintf(" (goal: 0.25 or less: %s)", (a <= 0.25 && m <= 0.25) ? "met" : "NOT met") : ""
        printf "%9d triangles, %-8s editor ÷ default: %.3f least, %.3f median, %.3f CPU%s\n", n, r, a, m, c, goal }'
    done
  done
fi

# Each reader against its floor at 300k triangles, the size the goal names.
if echo " $SIZES " | grep -q " 300000 "; then
  echo
  awk -v cores="$(nproc)" 'BEGIN { FS = "|" } { gsub(/ /, "") }
    $2 == 300000 && $5 == "one-brush" && $6 == "default" && ($3 == "mixed" || $3 == "trimesh") {
      printf "at 300000 triangles, %-7s %-8s convert ÷ floor: %.3f least ÷ least, %.3f median, %.3f CPU (%d cores)\n",
        $3, $4, $17, $18, $19, cores }' "$DATA/table"
fi

if [ "${BENCH_ELLIPSOID:-1}" != 0 ]; then
  echo
  awk 'BEGIN { FS = "|" } { gsub(/ /, "") } $3 == "ellipsoid" {
    printf "a 1000 x 1000 ellipsoid (%d triangles), convert ÷ floor: %.3f least ÷ least, %.3f median, %.3f CPU (goal: 1.10 or less: %s)\n",
      $2, $17, $18, $19, ($17 <= 1.10 && $18 <= 1.10) ? "met" : "NOT met" }' "$DATA/table"
fi

if [ "${BENCH_AHEAD:-1}" != 0 ]; then
  echo
  echo "at $largest triangles, each row against its floor, and records made ahead against the default,"
  echo "run by run (least ÷ least; median of the runs' wall-time ratios; CPU):"
  awk -v l="$largest" 'BEGIN { FS = "|" } { gsub(/ /, "") }
    $2 == l && ($6 == "default" || $6 == "ahead") && $3 != "ellipsoid" && !($3 == "trimesh" && $4 == "keywords") {
      printf "  %-11s %-8s %-9s %-7s convert ÷ floor: %.3f least, %.3f median, %.3f CPU (goal: 1.05 or less: %s)\n",
        $3, $4, $5, $6, $17, $18, $19, ($17 <= 1.05 && $18 <= 1.05) ? "met" : "NOT met" }
    $2 == l && ($6 == "core1" || $6 == "core1-ahead") {
      printf "  one core:   %-8s %-9s %-11s convert ÷ floor: %.3f least, %.3f median\n", $4, $5, $6, $17, $18 }' "$DATA/table"
  for pair in "mixed-keywords-one-brush-ahead mixed-keywords-one-brush-default ahead ÷ default, mixed, one brush" \
              "objects1000-keywords-map-ahead objects1000-keywords-map-default ahead ÷ default, 1000-triangle objects, map" \
              "mixed-keywords-one-brush-core1-ahead mixed-keywords-one-brush-core1 ahead ÷ default on one core"; do
    set -- $pair
    a=$1 b=$2
    shift 2
    read -r least median cpu <<<"$(compare "$largest-$a" "$largest-$b")"
    echo "  $*: $least least, $median median, $cpu CPU"
  done
fi

# The program's own work in instructions, which do not depend on the machine.
echo
python3 "$(dirname "$0")/instructions.py" "$BIN" "$DATA/instructions" "${BENCH_INSTRUCTIONS_TRIANGLES:-50000}"

if [ "$BIG_MB" != 0 ]; then
  # About 37 bytes of input per triangle.
  big=$(model $((BIG_MB * 1000000 / 37)) mixed)
  : >"$DATA/no-pieces.bin"
  measure "$BIN/kelvane-floor" "$big" "$DATA/no-pieces.bin" "$DATA/floor.t3d"
  rm -f "$DATA/floor.t3d"
  echo
  awk -v b="$(stat -c %s "$big")" -v k="$M_KIB" -v t="$M_SECONDS" 'BEGIN {
    printf "reading a %.1f MB input whole (ReadTextFile): %.3f s, peak memory %.1f MB, %.2f × the input\n", b / 1e6, t, k / 1024, k * 1024 / b }'
fi

if [ -x "$BIN/kelvane-window-bench" ] && [ "${BENCH_WINDOW:-1}" != 0 ]; then
  # The same largest input through the window (offscreen), in turns with the
  # command line; then one 512 x 512 texture painted and saved in the window.
  input=$(model "$largest" mixed)
  best_window=""
  best_cli=""
  for ((round = 0; round < ${BENCH_WINDOW_REPEAT:-3}; round++)); do
    rm -f "$DATA/window.t3d" "$DATA/convert.t3d"
    w=$(QT_QPA_PLATFORM=offscreen "$BIN/kelvane-window-bench" "$input" "$DATA/window.t3d" --one-brush --no-pictures)
    measure "$BIN/kelvane-convert" "$input" "$DATA/convert.t3d" --one-brush --no-pictures --quiet \
      --reader keywords
    cmp -s "$DATA/window.t3d" "$DATA/convert.t3d" || { echo "bench: the window wrote another document" >&2; exit 1; }
    best_window=$(awk -v a="$w" -v b="$best_window" 'BEGIN { print (b == "" || a < b) ? a : b }')
    best_cli=$(awk -v a="$M_SECONDS" -v b="$best_cli" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  rm -f "$DATA/window.t3d" "$DATA/convert.t3d"
  mkdir -p "$DATA/texture"
  t=$(QT_QPA_PLATFORM=offscreen "$BIN/kelvane-window-bench" --texture 512 "$DATA/texture")
  echo
  awk -v n="$largest" -v w="$best_window" -v c="$best_cli" -v t="$t" 'BEGIN {
    printf "window (offscreen), %d triangles, one brush: %.3f s against the command line'"'"'s %.3f s: %.3f × (goal: 1.3 or less)\n", n, w, c, w / c
    printf "window: a 512 x 512 texture painted and saved in %.3f s (goal: under 3 s)\n", t }'
fi

if [ "${BENCH_MICRO:-1}" != 0 ] && [ -x "$BIN/kelvane-microbench" ]; then
  echo
  "$BIN/kelvane-microbench" --benchmark_min_time=0.3
fi
