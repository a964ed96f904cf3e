#!/usr/bin/env bash
# The caplib tool: exit codes, one-line errors, and the commands' output.
set -u
tool=$1
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TZ=UTC
. "$(dirname "$0")/cli_lib.sh"

check help 0 "$tool" --help
check version 0 "$tool" --version
expect_out version "caplib 1.0.0"
check no-command 2 "$tool"
check unknown-command 2 "$tool" frobnicate
check unknown-option 2 "$tool" trace --bogus "$src/examples/sample.eth"
check trace-two-files 2 "$tool" trace a.eth b.eth
check bad-limit 2 "$tool" copy a.eth b.eth --append-limit -5

printf 'not a capture, just text that is long enough to pass the size test............' >"$tmp/junk.eth"
check not-capture 1 "$tool" trace "$tmp/junk.eth"
expect_err_lines not-capture 1
check missing-file 1 "$tool" info "$tmp/missing.eth"
expect_err_lines missing-file 1
check wrong-extension 1 "$tool" trace "$src/CMakeLists.txt"
expect_err_lines wrong-extension 1

check trace 0 "$tool" trace "$src/examples/sample.eth"
head -2 "$tmp/out" >"$tmp/head"
if [ "$(cat "$tmp/head")" != "$(printf '\n1. 04.12.2026 17:24:13.123 ch1 PPP >>> 18/18 Normal Channel=2')" ]; then
  fail "trace: first lines"; cat "$tmp/head"
fi
cp "$tmp/out" "$tmp/trace"
check trace-records 0 grep -c '^[0-9]*\. ' "$tmp/trace"
expect_out trace-records 16

check trace-to-file 0 "$tool" trace -x --sep '\r\n' -o "$tmp/t" "$src/examples/sample.eth"
grep -q $'^0000  FF03C021' "$tmp/t.log" || fail "trace-to-file: no hex dump"
check trace-bad-output 1 "$tool" trace -o "$tmp/no/such/dir/t" "$src/examples/sample.eth"
expect_err_lines trace-bad-output 1

# A full device: every output fails with exit 1 and says why. The library
# appends ".eth"/".log" to names, so links with those names stand for it.
if [ -w /dev/full ]; then
  full="No space left on device"
  "$tool" trace "$src/examples/sample.eth" >/dev/full 2>"$tmp/err"
  [ $? = 1 ] || fail "trace to a full device"
  expect_err trace-full "caplib: writing the trace failed ($full)"
  ln -s /dev/full "$tmp/full.log"
  ln -s /dev/full "$tmp/full.eth"
  check trace-o-full 1 "$tool" trace -o "$tmp/full" "$src/examples/sample.eth"
  expect_err trace-o-full "caplib: writing the trace failed ($full)"
  check copy-full 1 "$tool" copy "$src/examples/sample.eth" "$tmp/full.eth"
  expect_err copy-full "caplib: writing $tmp/full.eth failed: $full"
  check append-full 1 "$tool" copy "$src/examples/sample.eth" "$tmp/full.eth" --append-limit 0
  expect_err append-full "caplib: cannot open $tmp/full.eth for writing: $full"
fi

# A disk that fills while the copy runs, after the file header went out: a
# file size limit of 1 KiB stands in for it. The writer's buffered records
# fail only when it closes, which the copy notices by the file's size.
(ulimit -f 1 && trap '' XFSZ && exec "$tool" copy "$src/examples/sample.eth" "$tmp/small.eth") >"$tmp/out" 2>"$tmp/err"
[ $? = 1 ] || fail "copy to a filling disk: exit status"
expect_err copy-filling "caplib: writing $tmp/small.eth failed: the file is incomplete (disk full?)"
cp "$src/examples/sample.eth" "$tmp/grow.eth"
(ulimit -f 3 && trap '' XFSZ && exec "$tool" copy "$src/examples/sample.eth" "$tmp/grow.eth" --append-limit 0) >"$tmp/out" 2>"$tmp/err"
[ $? = 1 ] || fail "append to a filling disk: exit status"
expect_err append-filling "caplib: writing $tmp/grow.eth failed: the file is incomplete (disk full?)"

# Buffered traces print the same text, and still fail on a full device:
# standard output is flushed and checked before the tool exits.
check trace-buffered 0 "$tool" trace --buffered -x "$src/examples/sample.eth"
cp "$tmp/out" "$tmp/buffered"
check trace-flushed 0 "$tool" trace -x "$src/examples/sample.eth"
cmp -s "$tmp/out" "$tmp/buffered" || fail "trace --buffered: text differs"
check trace-buffered-file 0 "$tool" trace --buffered -x -o "$tmp/b" "$src/examples/sample.eth"
cmp -s "$tmp/b.log" "$tmp/buffered" || fail "trace --buffered -o: text differs"
if [ -w /dev/full ]; then
  full="No space left on device"
  "$tool" trace --buffered "$src/examples/sample.eth" >/dev/full 2>"$tmp/err"
  [ $? = 1 ] || fail "buffered trace to a full device"
  expect_err trace-buffered-full "caplib: writing the trace failed ($full)"
fi

check copy 0 "$tool" copy "$src/examples/sample.eth" "$tmp/copy.eth"
cmp -s "$src/examples/sample.eth" "$tmp/copy.eth" || fail "copy: files differ"
check append 0 "$tool" copy "$src/examples/sample.eth" "$tmp/copy.eth" --append-limit 0
check append-count 0 "$tool" info "$tmp/copy.eth"
grep -q '^records: 32$' "$tmp/out" || { fail "append: expected 32 records"; cat "$tmp/out"; }

check decode 0 "$tool" decode --layer ethernet "ffffffffffff 00a0c5110233" 9000
expect_out decode "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000"
check decode-code 0 "$tool" decode --layer 1 --sep '|' 0011223344
expect_out decode-code "sliced Ethernet header|"
check decode-odd 2 "$tool" decode --layer ethernet abc
check decode-layer 2 "$tool" decode --layer fddi 00

# A capture cut inside its third record: the two complete records are
# used, then one line names the damage and the exit status is 1.
head -c 300 "$src/examples/sample.eth" >"$tmp/cut.eth"
check damaged-trace 1 "$tool" trace "$tmp/cut.eth"
expect_err_lines damaged-trace 1
[ "$(grep -c '^[0-9]*\. ' "$tmp/out")" = 2 ] || fail "damaged-trace: records before the damage"
check damaged-copy 1 "$tool" copy "$tmp/cut.eth" "$tmp/cut-copy.eth"
expect_err_lines damaged-copy 1
check damaged-info 1 "$tool" info "$tmp/cut.eth"
grep -q '^records: 2$' "$tmp/out" || fail "damaged-info"

check info 0 "$tool" info "$src/examples/sample.eth"
grep -q '^records: 16$' "$tmp/out" || fail "info"

if [ "$failures" != 0 ]; then echo "$failures failures"; exit 1; fi
echo "all cli checks passed"
