# The shell tests share these: tool (the first argument) and src (the
# second), a scratch directory to work in, and the checks. The caller
# ends with passed MESSAGE.
# shellcheck disable=SC2034  # read by the callers
set -u
tool=$1
src=${2:-}
tmp=$(mktemp -d)
pids=""  # background processes to end on exit
trap 'kill $pids 2>/dev/null; rm -rf "$tmp"' EXIT
cd "$tmp" || exit 1
export TZ=UTC
failures=0

fail() { echo "FAIL $*"; failures=$((failures + 1)); }
passed() { if [ "$failures" != 0 ]; then echo "$failures failures"; exit 1; fi; echo "$1"; }
caplib() { "$tool" "$@"; }
# run STATUS STDERR COMMAND [CHECK]: COMMAND (shell text; its output goes
# to out and err) ends with STATUS and writes exactly STDERR ('\n' breaks
# a line), then CHECK (shell text) holds.
run() {
  eval "$3" >out 2>err
  local got=$?
  [ "$got" = "$1" ] || fail "$3: exit $got, expected $1"
  [ "$(cat err)" = "$(printf '%b' "$2")" ] || fail "$3: standard error:
$(cat err)"
  [ -z "${4:-}" ] || eval "$4" || fail "$3: not $4"
}
# Rows of STATUS|COMMAND|STDERR|CHECK for run, STDERR naming variables, and # comments.
table() { while IFS='|' read -r want cmd err check; do
  [[ $want = \#* ]] || { eval "err=\"$err\""; run "$want" "$err" "$cmd" "$check"; }; done; }
