# Checks shared by the tool's shell tests. The caller sets tmp, a scratch
# directory, and reports $failures at the end.
failures=0

fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() {  # name, expected exit code, command...
  local name=$1 want=$2
  shift 2
  "$@" >"$tmp/out" 2>"$tmp/err"
  local got=$?
  if [ "$got" != "$want" ]; then fail "$name: exit $got, expected $want"; cat "$tmp/err"; fi
}
expect_err() {  # name, exact standard error
  if [ "$(cat "$tmp/err")" != "$2" ]; then
    fail "$1: standard error"; cat "$tmp/err"; echo "expected"; printf '%s\n' "$2"
  fi
}
expect_err_lines() {  # name, number of lines on standard error
  local n
  n=$(wc -l <"$tmp/err")
  if [ "$n" != "$2" ]; then fail "$1: $n error lines"; cat "$tmp/err"; fi
}
expect_out() {  # name, exact standard output
  if [ "$(cat "$tmp/out")" != "$2" ]; then
    fail "$1: got"; cat "$tmp/out"; echo "expected"; printf '%s\n' "$2"
  fi
}
