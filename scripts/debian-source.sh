# What the scripts that build a library from Debian's sources share; sourced,
# not run. They build into a cache outside the work tree (one folder per
# library, version and toolchain), once per machine:
#   cache_ready PREFIX STAMP_TEXT    the install is there and made this way
#   cache_lock NAME PREFIX STAMP_TEXT     one build at a time per cache
#   start_build WHAT PREFIX WORK PKG VERSION   Debian's source, unpacked
#   step_logged STEP LOG COMMAND...    configure or install, output in LOG
#   build_logged LOG COMMAND...        build, output in LOG, progress shown
#   finish_install PREFIX STAMP_TEXT WORK STARTED
# Each script sets `me` (its name in messages) before sourcing this.
cache=${KELVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvane}
say() { echo "$me: $*" >&2; }
die() { say "$*"; exit 1; }

# The source package and version a binary package was built from, as
# "SOURCE VERSION" (e.g. "qt6-base 6.4.2+dfsg-10" for qt6-base-dev).
source_of() {
  dpkg-query -W -f='${source:Package} ${source:Version}' "$1"
}

# An install without its stamp was cut short; one with another stamp was
# made another way (options, compiler): both are built again.
cache_ready() {
  [ -f "$1/kelvane-build.txt" ] && [ "$(cat "$1/kelvane-build.txt")" = "$2" ]
}

# Holds the cache's lock for NAME until the script ends; a second build
# started side by side waits for the first, and ends (printing PREFIX) when
# that one made the install.
cache_lock() {
  local name=$1 prefix=$2 stamp_text=$3
  mkdir -p "$cache"
  exec 9>"$cache/$name.lock"
  if ! flock -n 9; then
    say "another build of $name is running; waiting for it"
    flock 9
  fi
  if cache_ready "$prefix" "$stamp_text"; then
    echo "$prefix"
    exit 0
  fi
}

# apt needs a deb-src entry for `apt-get source`: one made beside the
# machine's own entries, with the same archives, suites and keys.
add_deb_src() {
  local sudo="" list=/etc/apt/sources.list.d/kelvane-deb-src.sources f stanzas=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  for f in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list.d/ubuntu.sources; do
    [ -f "$f" ] || continue
    stanzas=$(sed 's/^Types:.*/Types: deb-src/' "$f")
    break
  done
  if [ -n "$stanzas" ]; then
    printf '%s\n' "$stanzas" | $sudo tee "$list" >/dev/null
  elif grep -qs '^deb ' /etc/apt/sources.list; then
    list=/etc/apt/sources.list.d/kelvane-deb-src.list
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo tee "$list" >/dev/null
  else
    return 1
  fi
  say "added the source archives to apt ($list)"
  $sudo apt-get update -qq
}

# Fetches and unpacks Debian's source package PKG at VERSION into DIR (made
# anew) and prints the unpacked folder. Fails clearly when apt cannot get it.
fetch_debian_source() {
  local package=$1 version=$2 dir=$3
  say "fetching Debian's source package $package ($version)"
  rm -rf "$dir"
  mkdir -p "$dir"
  get() { (cd "$dir" && apt-get source -qq "$package=$version" >>"$dir/fetch.log" 2>&1); }
  if ! get; then
    add_deb_src >>"$dir/fetch.log" 2>&1 || true
    get || {
      cat "$dir/fetch.log" >&2
      die "cannot fetch Debian's source package $package $version (apt-get source $package=$version failed: no deb-src entry in apt's sources, no network, or the archive no longer holds that version). Nothing was built."
    }
  fi
  local unpacked
  unpacked=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -1)
  [ -n "$unpacked" ] || die "the source package $package unpacked into no $package-* folder under $dir"
  echo "$unpacked"
}

# Starts building WHAT into PREFIX (emptied) in WORK: sets `src` to the
# unpacked source of Debian's PACKAGE at VERSION and `started` to the time.
start_build() {
  local what=$1 prefix=$2 work=$3 package=$4 version=$5
  say "building $what into $prefix"
  started=$(date +%s)
  rm -rf "$prefix"
  src=$(fetch_debian_source "$package" "$version" "$work") || exit 1
}

# Stamps the install, drops the build tree and reports time and size.
finish_install() {
  local prefix=$1 stamp_text=$2 work=$3 started=$4
  printf '%s\n' "$stamp_text" >"$prefix/kelvane-build.txt"
  rm -rf "$work"
  say "done in $(($(date +%s) - started)) s; $(du -sh "$prefix" | cut -f1) in $prefix"
}

# Runs one step of a build (configuring, installing) with its output in
# LOG; on failure shows the log's end and its path, and stops.
step_logged() {
  local step=$1 log=$2
  shift 2
  say "$step (log: $log)"
  "$@" >"$log" 2>&1 || {
    tail -n 30 "$log" >&2
    die "$step failed; the whole log is $log"
  }
}

# Runs the build command with its output in LOG and one line per 50 steps on
# stderr (ninja's "[n/N]"), so a CI log shows it moving; on failure the
# log's end and its path.
build_logged() {
  local log=$1
  shift
  say "building (log: $log)"
  if ! nice "$@" 2>&1 | tee "$log" |
    awk -v me="$me" '/^\[[0-9]+\/[0-9]+\]/ {
        split(substr($1, 2, length($1) - 2), n, "/")
        if (n[1] % 50 == 0 || n[1] == n[2]) { print me ": step " n[1] " of " n[2]; fflush() }
      }' >&2; then
    tail -n 40 "$log" >&2
    die "the build failed; the whole log is $log"
  fi
}
