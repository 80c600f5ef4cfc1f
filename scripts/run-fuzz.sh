#!/usr/bin/env bash
# Runs each fuzz target for a fixed time, one process at a time, and keeps
# what it finds: new corpus entries in fuzz/corpus-TARGET/ (seeded from
# fuzz/seeds/, fuzz/regressions/, examples/ and ../shared/samples/ when
# present) and inputs that fail in fuzz/findings/, which `make test` then
# replays until they are mended. Exits non-zero when any target found one.
# Usage: run-fuzz.sh BIN_DIR SECONDS_PER_TARGET TARGET...
set -uo pipefail
cd "$(dirname "$0")/.."

bin=$1
seconds=$2
shift 2

seeds=(fuzz/seeds fuzz/regressions)
for extra in examples ../shared/samples; do
  [ -d "$extra" ] && seeds+=("$extra")
done

# Per target: longest input, and the time one input may take before it
# counts as a hang (30 s unless named). Memory beyond 2 GiB counts as a
# finding for all. The whole-format targets only read and walk a few
# kilobytes, so anything near a second is already pathological.
declare -A max_len=([FuzzScanners]=1024 [FuzzConversionRun]=4096 [FuzzMetafileText]=4096
  [FuzzMetafileBinary]=4096 [FuzzSameAsBefore]=1024)
declare -A timeout=([FuzzMetafileText]=10 [FuzzMetafileBinary]=10)

mkdir -p fuzz/findings
status=0
summary=()
for target in "$@"; do
  corpus=fuzz/corpus-$target
  mkdir -p "$corpus"
  log=fuzz/findings/$target.log
  echo "== $target: ${seconds}s, log in $log"
  "$bin/$target" -max_total_time="$seconds" -max_len="${max_len[$target]:-4096}" \
    -timeout="${timeout[$target]:-30}" -rss_limit_mb=2048 -dict=fuzz/3dmf.dict -print_final_stats=1 \
    -artifact_prefix="fuzz/findings/$target-" "$corpus" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
  time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  if [ $rc -ne 0 ]; then
    status=1
    grep -E "^(==[0-9]+==ERROR|SUMMARY|run check failed|scanner check failed|.*deadly signal|.*-timeout|.*-rss_limit)" "$log" | head -5
    summary+=("$target: FINDING (exit $rc), see $log and fuzz/findings/$target-*")
  else
    summary+=("$target: ${runs:-?} executions in ${time:-?} s (${rate:-?}/s), peak RSS ${rss:-?} MB, $(ls "$corpus" | wc -l) corpus entries, no finding")
  fi
done
printf '%s\n' "${summary[@]}"
exit $status
