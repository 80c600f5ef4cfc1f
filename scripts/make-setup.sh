#!/usr/bin/env bash
# Makes the Windows setup from a release folder (what the release zip
# holds) with NSIS (packaging/windows/kelvane.nsi). The setup installs
# every file of the folder and its uninstaller removes exactly those, so
# the lists of both are made here from the folder itself. Every file gets
# one time stamp (SOURCE_DATE_EPOCH, default: the last commit's time), so
# the same files make the same setup.
# Usage: make-setup.sh RELEASE_FOLDER VERSION SETUP.exe
set -euo pipefail
folder=$(cd "$1" && pwd) version=$2 setup=$3
source=$(cd "$(dirname "$0")/.." && pwd)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] ||
  { echo "make-setup.sh: the version must be three numbers, not \"$version\"" >&2; exit 2; }
lists=$(mktemp -d)
trap 'rm -rf "$lists"' EXIT
# The last commit's time; outside a checkout, 1980 (the earliest a zip can hold).
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 315532800)}

# NSIS reads "$" and quotes in its strings; the release's names have none.
files=$(cd "$folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if grep -q '[$"`]' <<<"$files"; then
  echo "make-setup.sh: a file name holds \$, \" or \`: $(grep '[$"`]' <<<"$files" | head -1)" >&2
  exit 2
fi
{
  last=none
  while read -r file; do
    dir=$(dirname "$file")
    [ "$dir" = . ] && dir="" || dir="\\${dir//\//\\}"
    [ "$dir" = "$last" ] || { printf 'SetOutPath "$INSTDIR%s"\n' "$dir"; last=$dir; }
    printf 'File "%s"\n' "$folder/$file"
  done <<<"$files"
} >"$lists/install-files.nsh"
{
  while read -r file; do printf 'Delete "$INSTDIR\\%s"\n' "${file//\//\\}"; done <<<"$files"
  # Folders deepest first; each goes only when it is empty.
  (cd "$folder" && find . -mindepth 1 -type d | sed 's|^\./||' | LC_ALL=C sort -r) |
    while read -r dir; do printf 'RMDir "$INSTDIR\\%s"\n' "${dir//\//\\}"; done
} >"$lists/uninstall-files.nsh"
find "$folder" -exec touch -h -d "@$epoch" {} +

mkdir -p "$(dirname "$setup")"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$lists" -DOUTFILE="$(realpath -m "$setup")" \
  "$source/packaging/windows/kelvane.nsi" >"$lists/makensis.log" 2>&1 ||
  { cat "$lists/makensis.log" >&2; echo "make-setup.sh: makensis failed" >&2; exit 1; }
