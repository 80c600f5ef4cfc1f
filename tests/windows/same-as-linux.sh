#!/usr/bin/env bash
# Converts every model of examples/ and tests/data/samples/ with the Linux
# program and with the Windows program under Wine, through both readers,
# and checks that they write the same bytes (documents and bitmaps) and say
# the same. Then makes each bad input and file fault that Windows can have
# and checks that both give the same error kind, the same exit status and
# leave the same output. The Windows program gets Windows paths: drive Z:,
# backslashes, a folder with a blank and a letter beyond ASCII.
# Usage: same-as-linux.sh LINUX_CONVERT WINE_RUN WINDOWS_CONVERT SOURCE_DIR WORK_DIR
set -uo pipefail
linux=$1 wine_run=$2 windows=$3 source=$4 work=$5

rm -rf "$work"
mkdir -p "$work"
L="$work/linux"
W="$work/folder with blank é"
WW="Z:$(printf '%s' "$W" | tr / '\\')"   # the same folder as Windows names it
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs one conversion on each side in a fresh pair of folders holding the
# same files; $1 names the case, the rest are the arguments with @/ where
# the folder goes. Leaves status, stdout and stderr in $work/{linux,windows}.*
run_both() {
  local name=$1; shift
  local largs=() wargs=() a
  for a in "$@"; do
    largs+=("${a//@\//$L/}")
    a=${a//@\//$WW\\}
    # The rest of a path written with "/" after @/ becomes Windows' too.
    [[ $a == "$WW"* ]] && a=${a//\//\\}
    wargs+=("$a")
  done
  (cd "$L" && "$linux" "${largs[@]}" >"$work/linux.out" 2>"$work/linux.err" </dev/null)
  echo $? >"$work/linux.status"
  (cd "$W" && "$wine_run" "$windows" "${wargs[@]}" >"$work/windows.out" 2>"$work/windows.err" </dev/null)
  echo $? >"$work/windows.status"
  # Messages name the paths as given; put the Linux folder into Windows' text.
  local from=${WW//\\/\\\\}
  sed -e "s|$from\\\\|$L/|g" -e 's|\\|/|g' "$work/windows.out" >"$work/windows.out.norm"
  sed -e "s|$from\\\\|$L/|g" "$work/windows.err" >"$work/windows.err.norm"
}

# Every file of both folders, by name and bytes.
same_folders() {
  local name=$1
  if ! diff -r "$L" "$W" >/dev/null; then
    fail "$name: the files differ: $(diff -rq "$L" "$W" | head -5 | tr '\n' ' ')"
  fi
}

fresh() {
  rm -rf "$L" "$W"
  mkdir -p "$L" "$W"
}

# The crate with a colour of its own in every pixel of its texture: an
# 8-bit bitmap of it comes from the quantizer, whose palette must come out
# the same on both systems (the other textures have 256 colours or fewer).
many="$work/many-colours.3dmf"
awk '/^\t\t0x/ { y = n++; printf "\t\t0x"
                  for (x = 0; x < 128; x++) printf "%02X%02X%02X", 2 * x, 2 * y, x * y % 256
                  printf "\n"; next }
     { print }' "$source/tests/data/crate.3dmf" >"$many"

# ---- every model, each reader (and the one its header chooses), both
# output modes where they differ, both bitmap depths
models=("$source"/examples/*.3dmf "$source"/examples/whole/*.3dmf "$source"/tests/data/samples/*.3dmf
  "$many")
count=0
written=0
for model in "${models[@]}"; do
  base=$(basename "$model")
  for options in "" "--reader keywords" "--reader 3dmf" "--one-brush --scale 3.5" "--uv --pow2" \
    "--bitmap-depth 8"; do
    fresh
    cp "$model" "$L/$base"
    cp "$model" "$W/$base"
    # shellcheck disable=SC2086
    run_both "$base $options" "@/$base" "@/${base%.*}.t3d" $options
    count=$((count + 1))
    # A run the Linux program refuses (the whole-format reader on a file
    # without a 3DMF header) is held to the same refusal only.
    if [ "$(cat "$work/linux.status")" = 0 ]; then
      written=$((written + 1))
      ls "$L"/*.t3d >/dev/null 2>&1 || fail "$base $options: no document written"
    fi
    same_folders "$base $options"
    cmp -s "$work/linux.status" "$work/windows.status" ||
      fail "$base $options: exit $(cat "$work/linux.status") on Linux, $(cat "$work/windows.status") on Windows"
    cmp -s "$work/linux.out" "$work/windows.out.norm" ||
      fail "$base $options: stdout differs: $(diff "$work/linux.out" "$work/windows.out.norm" | head -4 | tr '\n' ' ')"
    cmp -s "$work/linux.err" "$work/windows.err.norm" ||
      fail "$base $options: stderr differs: $(diff "$work/linux.err" "$work/windows.err.norm" | head -4 | tr '\n' ' ')"
  done
done
# The last case run: the many-coloured crate in 8 bits.
bits=$(od -An -tu2 -j28 -N2 "$L/many-colours_1.bmp" 2>/dev/null | tr -d ' ')
[ "$bits" = 8 ] || fail "many-colours.3dmf --bitmap-depth 8: no 8-bit bitmap (bits per pixel: ${bits:-none})"
echo "$count conversions compared ($written of them write a document)"
[ "$written" -gt $((count / 2)) ] || fail "only $written of $count conversions wrote a document"

# ---- bad input and file faults: same kind, status and output
kind() { sed -n 's/^kelvane-convert: \([A-Za-z ]*\): .*/\1/p' "$1" | head -1; }
triangle=$'Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 2\n)\n'
put() { printf '%s' "$2" >"$L/$1"; printf '%s' "$2" >"$W/$1"; }

# fault_case NAME EXPECTED_KIND EXPECTED_STATUS ARGS...: the files are set up before.
fault_case() {
  local name=$1 expected=$2 status=$3; shift 3
  run_both "$name" "$@"
  local lk wk
  lk=$(kind "$work/linux.err")
  wk=$(kind "$work/windows.err.norm")
  [ "$(cat "$work/linux.status")" = "$status" ] || fail "$name: Linux exit $(cat "$work/linux.status"), expected $status"
  [ "$(cat "$work/windows.status")" = "$status" ] || fail "$name: Windows exit $(cat "$work/windows.status"), expected $status: $(cat "$work/windows.err")"
  [ "$lk" = "$expected" ] || fail "$name: Linux says \"$lk\", expected \"$expected\""
  [ "$wk" = "$expected" ] || fail "$name: Windows says \"$wk\", expected \"$expected\": $(head -1 "$work/windows.err")"
  same_folders "$name"
  cases=$((cases + 1))
}
cases=0

fresh; put in.3dmf "$triangle"; put out.t3d "kept"
fault_case "scale that is no number" "Invalid scale" 1 @/in.3dmf @/out.t3d --scale x
fault_case "output names the input" "Same file" 1 @/in.3dmf @/in.3dmf
ln "$L/in.3dmf" "$L/hard.t3d"; ln "$W/in.3dmf" "$W/hard.t3d"
fault_case "output is a hard link of the input" "Same file" 1 @/in.3dmf @/hard.t3d
fault_case "input missing" "File error" 1 @/missing.3dmf @/out.t3d
# A folder among the paths makes a batch, so a folder as input or output
# is a usage matter on the command line; the template reads as any file.
mkdir "$L/folder.3dmf" "$W/folder.3dmf"
fault_case "template missing" "File error" 1 @/in.3dmf @/out.t3d --template @/none.txt
fault_case "template is a folder" "File error" 1 @/in.3dmf @/out.t3d --template @/folder.3dmf
fault_case "output in a missing folder" "File error" 1 @/in.3dmf @/none/out.t3d

fresh; put out.t3d "kept"
put count.3dmf $'Polyhedron (\n3 0 40000\n0 0 0 1 0 0 0 0 1\n0 1 2\n)\n'
fault_case "count beyond 16 bits" "Overflow" 1 @/count.3dmf @/out.t3d
put index.3dmf $'Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 7\n'
fault_case "index outside its table" "Out of range" 1 @/index.3dmf @/out.t3d
put big.3dmf $'Polyhedron (\n3 0 1\n1e999 0 0 1 0 0 0 0 1\n0 1 2\n)\n'
fault_case "number too large for a double" "Overflow" 1 @/big.3dmf @/out.t3d
put tex.3dmf $'PixmapTexture (\n-1 2 3 24\n)\n'
fault_case "negative texture size" "Invalid argument" 1 @/tex.3dmf @/out.t3d
put plain.3dmf "$triangle"
fault_case "not a 3DMF text file (whole format)" "Invalid argument" 1 @/plain.3dmf @/out.t3d --reader 3dmf
put open.3dmf $'3DMetafile ( 1 6 Normal toc> )\nMesh (\n'
fault_case "object never closed" "Invalid argument" 1 @/open.3dmf @/out.t3d --reader 3dmf
put ref.3dmf $'3DMetafile ( 1 6 Normal tableofcontents0> )\nReference ( 9 )\ntableofcontents0:\nTableOfContents ( tableofcontents0> 1 0 12 0 )\n'
fault_case "reference outside the table of contents" "Out of range" 1 @/ref.3dmf @/out.t3d --reader 3dmf
printf '3DMF\0\0\0\x10\0\x01\0\x06' >"$L/head.3dmf"; cp "$L/head.3dmf" "$W/head.3dmf"
fault_case "binary header cut short" "Out of range" 1 @/head.3dmf @/out.t3d
echo "$cases faults compared"

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
