# What the command-line test scripts share, sourced by each: check NAME CONDITION... runs the
# condition and counts it passed or failed (naming it on stderr), and finish reports the counts and
# fails the script when any check failed.
failures=0
passed=0

check() {  # check NAME CONDITION...; returns the condition's success, for "check ... || explain"
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); return 0; fi
  echo "FAILED: $name" >&2
  failures=$((failures + 1))
  return 1
}

finish() {
  echo "$passed passed, $failures failed"
  [ "$failures" -eq 0 ]
}
