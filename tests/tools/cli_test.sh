#!/usr/bin/env bash
# The caplib tool: exit codes, one-line errors, the commands' output, and
# outputs that are whole or untouched whatever fails.
set -u
tool=$1
src=$2
sample=$src/examples/sample.eth
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TZ=UTC
. "$(dirname "$0")/cli_lib.sh"

records() { grep -c '^[0-9]*\. ' "$1"; }
unchanged() {  # file, what it must still be, name
  cmp -s "$1" "$2" || fail "$3: $1 changed"
}

check help 0 "$tool" --help
check version 0 "$tool" --version
expect_out version "caplib $(sed -n 's/^project(caplib VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
check no-command 2 "$tool"
expect_err no-command "caplib: no command given
(see caplib --help)"
check unknown-command 2 "$tool" frobnicate
for c in trace copy import export decode info; do
  check "help $c" 0 "$tool" "$c" --help
  [ "$(head -1 "$tmp/out" | cut -d' ' -f1-3)" = "usage: caplib $c" ] || fail "help $c: $(head -1 "$tmp/out")"
done

# Usage errors: one line that names the fault, then where the usage is.
while IFS='|' read -r args message; do
  read -r -a argv <<<"$args"
  check "usage: $args" 2 "$tool" "${argv[@]}"
  expect_err "usage: $args" "caplib: $message
(see caplib ${argv[0]} --help)"
done <<'EOF'
trace --bogus a.eth|trace has no option --bogus
info -x a.eth|info has no option -x
copy --sep x a.eth b.eth|copy has no option --sep
trace --layer ip a.eth|trace has no option --layer
export -c 1 a.eth b.pcap|export has no option -c
trace --hex=1 a.eth|--hex takes no value
trace a.eth --sep|--sep needs a value
import a.eth b.eth c|import takes a capture and an output capture file
copy a.eth|copy takes an input and an output capture file
copy a.eth b.eth --append-limit -5|--append-limit takes a byte count from 0 to 2147483647, not '-5'
copy a.eth b.eth --append-limit=|--append-limit takes a byte count from 0 to 2147483647, not ''
trace -c 0 a.eth|-c takes a record count from 1, not '0'
trace -o out.txt a.eth|-o out.txt would write out.log (give NAME.log or NAME without extension)
trace -o a.b/c.d a.eth|-o a.b/c.d would write a.b/c.log (give NAME.log or NAME without extension)
decode 00|decode needs --layer
decode --layer fddi 00|unknown layer fddi
decode --layer ethernet|decode needs a frame in hex
decode --layer ethernet abc|odd number of hex digits
decode --layer ethernet 0g|not a hex digit: g
EOF

# Failures: one line that names the cause.
mkdir "$tmp/dir.eth"; cp "$sample" "$tmp/s.eth"
printf 'not a capture, just text that is long enough to pass the size test............' >"$tmp/junk.eth"
while IFS='|' read -r args message; do
  read -r -a argv <<<"${args//T/$tmp}"
  check "fails: $args" 1 "$tool" "${argv[@]}"
  expect_err "fails: $args" "caplib: ${message//T/$tmp}"
done <<'EOF'
trace T/junk.eth|T/junk.eth: not a capture, pcap or pcapng file (begins 6e 6f 74 20 61 20 63 61)
info T/missing.eth|cannot read T/missing.eth: No such file or directory
info T/dir.eth|cannot read T/dir.eth: Is a directory
trace -o T/no/such/dir/t T/s.eth|cannot open T/no/such/dir/t.log for writing: No such file or directory
EOF
if command -v setpriv >/dev/null && [ "$(id -u)" = 0 ]; then
  cp "$sample" "$tmp/secret.eth"
  chmod 000 "$tmp/secret.eth"
  check unreadable 1 setpriv --reuid=65534 --regid=65534 --clear-groups "$tool" info "$tmp/secret.eth"
  expect_err unreadable "caplib: cannot read $tmp/secret.eth: Permission denied"
fi

check trace 0 "$tool" trace "$sample"
head -2 "$tmp/out" >"$tmp/head"
if [ "$(cat "$tmp/head")" != "$(printf '\n1. 04.12.2026 17:24:13.123 ch1 PPP >>> 18/18 Normal Channel=2')" ]; then
  fail "trace: first lines"; cat "$tmp/head"
fi
[ "$(records "$tmp/out")" = 16 ] || fail "trace: records"

# The same trace however the options are spelled.
check trace-hex 0 "$tool" trace -x --sep '\r\n' "$sample"
cp "$tmp/out" "$tmp/hex"
for args in "--hex --sep=\r\n -r S" "-x --sep \r\n -- S" "S --hex --se=\r\n -o -"; do
  read -r -a argv <<<"${args//S/$sample}"
  check "trace $args" 0 "$tool" trace "${argv[@]}"
  unchanged "$tmp/out" "$tmp/hex" "trace $args"
done
check trace-to-file 0 "$tool" trace -x --sep '\r\n' -o "$tmp/t" "$sample"
unchanged "$tmp/t.log" "$tmp/hex" trace-to-file
check trace-to-log 0 "$tool" trace -x --sep='\r\n' -o "$tmp/u.log" "$sample"
unchanged "$tmp/u.log" "$tmp/hex" trace-to-log
check trace-count 0 "$tool" trace -c 3 "$sample"
[ "$(records "$tmp/out")" = 3 ] || fail "trace -c 3: records"

# Buffered traces print the same text.
check trace-flushed 0 "$tool" trace -x "$sample"
cp "$tmp/out" "$tmp/flushed"
check trace-buffered 0 "$tool" trace --buffered -x "$sample"
unchanged "$tmp/out" "$tmp/flushed" trace-buffered
check trace-buffered-file 0 "$tool" trace --buffered -x -o "$tmp/b" "$sample"
unchanged "$tmp/b.log" "$tmp/flushed" trace-buffered-file

# Standard output that fails: one line with the cause, exit 1; a reader
# that goes away (| head) ends the trace quietly, SIGPIPE ignored or not.
if [ -w /dev/full ]; then
  full="caplib: writing standard output failed: No space left on device"
  for args in "trace S" "trace --buffered S" "info S" "decode --layer 1 00" "--help" "--version" "copy --help"; do
    read -r -a argv <<<"${args//S/$sample}"
    "$tool" "${argv[@]}" >/dev/full 2>"$tmp/err"
    [ $? = 1 ] || fail "$args to a full device: exit status"
    expect_err "$args to a full device" "$full"
  done
fi
"$tool" trace "$sample" >&- 2>"$tmp/err"
[ $? = 1 ] || fail "trace to a closed descriptor: exit status"
expect_err trace-closed "caplib: writing standard output failed: Bad file descriptor"
head -c 64 "$sample" >"$tmp/big.eth"
for _ in $(seq 100); do tail -c +65 "$sample" >>"$tmp/big.eth"; done
for sigpipe in default ignored; do
  (
    [ $sigpipe = ignored ] && trap '' PIPE
    "$tool" trace -x "$tmp/big.eth" 2>"$tmp/err" | head -1 >/dev/null
    echo "${PIPESTATUS[0]}" >"$tmp/status"
  )
  case $(cat "$tmp/status") in 0 | 141) ;; *) fail "trace | head, SIGPIPE $sigpipe: exit $(cat "$tmp/status")" ;; esac
  expect_err "trace | head, SIGPIPE $sigpipe" ""
done

check copy 0 "$tool" copy -w "$tmp/copy.eth" -r "$sample"
unchanged "$tmp/copy.eth" "$sample" copy
check append 0 "$tool" copy "$sample" "$tmp/copy.eth" --append-limit 0
check append-count 0 "$tool" info "$tmp/copy.eth"
grep -q '^records: 32$' "$tmp/out" || { fail "append: expected 32 records"; cat "$tmp/out"; }

check decode 0 "$tool" decode --layer ethernet "ffffffffffff 00a0c5110233" 9000
expect_out decode "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000"
printf 'ff:ff:ff:ff:ff:ff\n00a0c5110233 9000\n' >"$tmp/hex.txt"
check decode-stdin 0 "$tool" decode --layer=ethernet - <"$tmp/hex.txt"
expect_out decode-stdin "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000"
check decode-code 0 "$tool" decode --layer 1 --sep '|' 0011223344
expect_out decode-code "sliced Ethernet header|"

# A capture cut inside its third record: the two complete records are
# used, then one line names the damage and the exit status is 1; -c 2
# stops before the damage.
head -c 300 "$sample" >"$tmp/cut.eth"
check damaged-trace 1 "$tool" trace "$tmp/cut.eth"
expect_err damaged-trace "caplib: $tmp/cut.eth: damaged after record 2 (44 bytes are not a record); the records before it were read"
[ "$(records "$tmp/out")" = 2 ] || fail "damaged-trace: records before the damage"
check damaged-count 0 "$tool" trace -c 2 "$tmp/cut.eth"
check damaged-copy 1 "$tool" copy "$tmp/cut.eth" "$tmp/cut-copy.eth"
expect_err_lines damaged-copy 1
check damaged-info 1 "$tool" info "$tmp/cut.eth"
grep -q '^records: 2$' "$tmp/out" || fail "damaged-info"

check info 0 "$tool" info "$sample"
grep -q '^records: 16$' "$tmp/out" || fail "info"

# An output that is an input, by any name, or read-only is refused by
# every command before anything is written; nothing changes.
d=$tmp/same; mkdir "$d"
cp "$sample" "$d/self.eth"; cp "$sample" "$d/x.log"; cp "$sample" "$d/ro.eth"; cp "$sample" "$d/ro.log"
ln -s self.eth "$d/link.eth"; ln "$d/self.eth" "$d/hard.eth"; ln -s self.eth "$d/link.pcap"; ln "$d/self.eth" "$d/s-arp.pcap"
cp "$sample" "$d/ro.pcap"; chmod a-w "$d/ro.eth" "$d/ro.log" "$d/ro.pcap"
while IFS='|' read -r args message; do
  read -r -a argv <<<"$args"
  check "refused: $args" 1 env -C "$d" "$tool" "${argv[@]}"
  expect_err "refused: $args" "caplib: $message"
done <<'EOF'
copy self.eth self.eth|cannot write self.eth: it is the same file as the input self.eth
copy self.eth link.eth --append-limit 0|cannot write link.eth: it is the same file as the input self.eth
copy link.eth hard.eth|cannot write hard.eth: it is the same file as the input link.eth
trace -o x x.log|cannot write x.log: it is the same file as the input x.log
import link.pcap self.eth|cannot write self.eth: it is the same file as the input link.pcap
export self.eth link.pcap|cannot write link.pcap: it is the same file as the input self.eth
export self.eth s.pcap|cannot write s-arp.pcap: it is the same file as the input self.eth
copy self.eth ro.eth|cannot write ro.eth: Permission denied
copy self.eth ro.eth --append-limit 0|cannot write ro.eth: Permission denied
trace -o ro self.eth|cannot write ro.log: Permission denied
import link.pcap ro.eth|cannot write ro.eth: Permission denied
export self.eth ro.pcap|cannot write ro.pcap: Permission denied
EOF
for f in self.eth x.log ro.eth ro.log ro.pcap; do unchanged "$d/$f" "$sample" "refused $f"; done

# Outputs that fail while written: one line with the cause, and no file of
# the name, or the old one unchanged. A full device (links to /dev/full),
# and a file size limit of 3 KiB for a disk that fills part-way: the
# append to a file of 2 KiB gets part of its records in.
if [ -w /dev/full ]; then
  full="No space left on device"
  ln -s /dev/full "$tmp/full.log"
  ln -s /dev/full "$tmp/full.eth"
  check trace-o-full 1 "$tool" trace -o "$tmp/full" "$sample"
  expect_err trace-o-full "caplib: writing $tmp/full.log failed: $full"
  check copy-full 1 "$tool" copy "$sample" "$tmp/full.eth"
  expect_err copy-full "caplib: writing $tmp/full.eth failed: $full"
  check append-full 1 "$tool" copy "$sample" "$tmp/full.eth" --append-limit 0
  expect_err append-full "caplib: writing $tmp/full.eth failed: $full"
fi
d=$tmp/filling; mkdir "$d"
echo old >"$d/t.log"
cp "$sample" "$d/grow.eth"
cp "$sample" "$d/restart.eth"
# Killed by SIGXFSZ instead, the tool still removes what it began.
while IFS='|' read -r args file; do
  read -r -a argv <<<"${args//S/$tmp/big.eth}"
  for xfsz in ignored default; do
    { (ulimit -f 3 && { [ $xfsz = default ] || trap '' XFSZ; } && exec env -C "$d" "$tool" "${argv[@]}") \
        >"$tmp/out" 2>"$tmp/err"; } 2>/dev/null
    status=$?
    if [ $xfsz = default ]; then
      [ $status = 153 ] || fail "$args killed by SIGXFSZ: exit $status"
    else
      [ $status = 1 ] || fail "$args on a filling disk: exit $status"
      expect_err "$args on a filling disk" "caplib: writing $file failed: File too large"
    fi
  done
done <<'EOF'
trace -x -o t S|t.log
copy S small.eth|small.eth
copy S grow.eth --append-limit 0|grow.eth
copy S restart.eth --append-limit 100|restart.eth
EOF
[ "$(cat "$d/t.log")" = old ] || fail "trace on a filling disk: t.log changed"
unchanged "$d/grow.eth" "$sample" "append on a filling disk"
unchanged "$d/restart.eth" "$sample" "restart on a filling disk"
[ "$(ls "$d" | tr '\n' ' ')" = "grow.eth restart.eth t.log " ] || fail "filling disk: left $(ls "$d")"

if [ "$failures" != 0 ]; then echo "$failures failures"; exit 1; fi
echo "all cli checks passed"
