# The tool's shell tests share these. The caller sets tool and works in a
# scratch directory; it ends with: [ "$failures" = 0 ] || exit 1.
# shellcheck disable=SC2034  # failures is read by the caller
failures=0

fail() { echo "FAIL $*"; failures=$((failures + 1)); }
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
