# What the shell checks share; sourced, not run. A script calls
# `check NAME COMMAND...` for each check, `skip WHY` for one it cannot make
# here, and ends with `finish LABEL`: one line of counts, and exit status 0
# when no check failed and at least one passed.
passed=0
failed=0
skipped=0
check() { # NAME COMMAND...: one check, passed when COMMAND succeeds
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name" >&2
  fi
}
skip() {
  skipped=$((skipped + 1))
  echo "skipped: $1"
}
finish() { # LABEL
  echo "$1: $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit
}
