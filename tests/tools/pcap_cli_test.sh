#!/usr/bin/env bash
# The caplib tool with pcap and pcapng: import, export, trace, input by
# content from files, pipes and FIFOs, damaged and foreign files, and the
# real captures beside the project.
set -u
tool=$1
src=$2
captures="$src/../shared/captures"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TZ=UTC
. "$(dirname "$0")/cli_lib.sh"

records() { "$tool" info "$1" 2>/dev/null | sed -n 's/^records: //p'; }
same_files() { cmp -s "$1" "$2" || fail "$3: $1 and $2 differ"; }
nothing_but() {  # directory, the files it must hold
  local got
  got=$(cd "$1" && ls | tr '\n' ' ')
  [ "$got" = "$2" ] || fail "directory $1 holds '$got', expected '$2'"
}

# A capture of every layer splits into one pcap per layer.
d=$tmp/split; mkdir "$d"
check export-mixed 0 "$tool" export "$src/examples/sample.eth" "$d/s.pcap"
expect_err export-mixed "caplib: $src/examples/sample.eth mixes layers, written as one pcap file per layer: \
$d/s-ppp.pcap (3 frames), $d/s-ethernet.pcap (6 frames), $d/s-tokenring.pcap (1 frame), $d/s-ip.pcap (1 frame), \
$d/s-ipx.pcap (1 frame), $d/s-arp.pcap (1 frame)
caplib: $src/examples/sample.eth: skipped 3 records of layers without a pcap link type: ISAKMP (1), BNEP (1), RFC1483 (1)"
nothing_but "$d" "s-arp.pcap s-ethernet.pcap s-ip.pcap s-ipx.pcap s-ppp.pcap s-tokenring.pcap "

# Each of them comes back byte for byte through a capture file.
for layer in ppp ethernet tokenring ip ipx arp; do
  check "import-$layer" 0 "$tool" import "$d/s-$layer.pcap" "$tmp/$layer.eth"
  expect_err "import-$layer" ""
  check "export-$layer" 0 "$tool" export "$tmp/$layer.eth" "$tmp/$layer.pcap"
  expect_err "export-$layer" ""
  same_files "$d/s-$layer.pcap" "$tmp/$layer.pcap" "round trip $layer"
done

# A full device and a disk that fills part-way (a file size limit): the
# cause is named and no file is left.
if [ -w /dev/full ]; then
  ln -s /dev/full "$tmp/full.pcap"
  check export-full 1 "$tool" export -r "$tmp/ethernet.eth" -w "$tmp/full.pcap"
  expect_err export-full "caplib: writing $tmp/full.pcap failed: No space left on device"
fi
f=$tmp/filling; mkdir "$f"
head -c 64 "$tmp/ethernet.eth" >"$f/big.eth"
for _ in $(seq 20); do tail -c +65 "$tmp/ethernet.eth" >>"$f/big.eth"; done
(ulimit -f 1 && trap '' XFSZ && exec "$tool" export "$f/big.eth" "$f/big.pcap") >"$tmp/out" 2>"$tmp/err"
[ $? = 1 ] || fail "export to a filling disk: exit status"
expect_err export-filling "caplib: writing $f/big.pcap failed: File too large"
nothing_but "$f" "big.eth "

# A pcap traces like a capture file, under the default or a given name;
# PPP leaves pcap without its direction.
check trace-pcap 0 "$tool" trace "$d/s-ppp.pcap"
head -2 "$tmp/out" >"$tmp/out2"; mv "$tmp/out2" "$tmp/out"
expect_out trace-pcap "
1. 04.12.2026 17:24:13.123 if0 PPP <<< 18/18 Normal Channel=0"
check trace-name 0 "$tool" trace --name wan0 "$d/s-ip.pcap"
sed -n 2p "$tmp/out" >"$tmp/out2"; mv "$tmp/out2" "$tmp/out"
expect_out trace-name "1. 04.12.2026 17:24:16.533 wan0 IP <<< 40/40 Normal"
check name-on-eth 2 "$tool" trace --name x "$src/examples/sample.eth"
check info-pcap 0 "$tool" info "$d/s-ethernet.pcap"
grep -q '^layer Ethernet (1): 6$' "$tmp/out" || fail "info-pcap: $(cat "$tmp/out")"

# A pcap cut inside its third frame (of 140 bytes, behind frames of 60 and
# 92): two frames convert, one line says why.
head -c $((24 + 16 + 60 + 16 + 92 + 16 + 10)) "$d/s-ethernet.pcap" >"$tmp/cut.pcap"
cut_line="caplib: $tmp/cut.pcap: damaged after 2 frames (a frame is cut short: 10 of 140 bytes); 2 converted"
check trace-cut 1 "$tool" trace "$tmp/cut.pcap"
expect_err trace-cut "$cut_line"
[ "$(grep -c '^[0-9]*\. ' "$tmp/out")" = 2 ] || fail "trace-cut: expected 2 records"
check import-cut 1 "$tool" import "$tmp/cut.pcap" "$tmp/cut.eth"
expect_err import-cut "$cut_line"
[ "$(records "$tmp/cut.eth")" = 2 ] || fail "import-cut: expected 2 records in the capture file"

# A link type without a layer code: nothing is written.
d=$tmp/foreign; mkdir "$d"
cp "$tmp/ethernet.pcap" "$d/wifi.pcap"
printf '\151\000\000\000' | dd of="$d/wifi.pcap" bs=1 seek=20 conv=notrunc status=none
foreign_line="caplib: $d/wifi.pcap: link type 105 has no layer code; 6 frames skipped"
check import-foreign 1 "$tool" import "$d/wifi.pcap" "$d/wifi.eth"
expect_err import-foreign "$foreign_line"
check trace-foreign 1 "$tool" trace "$d/wifi.pcap"
expect_err trace-foreign "$foreign_line"
nothing_but "$d" "wifi.pcap "

# Neither a capture file nor pcap, or nowhere to write: one line, nothing left.
check import-text 1 "$tool" import "$src/README.md" "$tmp/readme.eth"
expect_err import-text "caplib: $src/README.md: not a capture, pcap or pcapng file (begins 23 20 63 61 70 6c 69 62)"
[ ! -e "$tmp/readme.eth" ] || fail "import-text: left $tmp/readme.eth"
check import-nowhere 1 "$tool" import "$tmp/ethernet.pcap" "$tmp/no/such/dir/x.eth"
expect_err import-nowhere "caplib: cannot open $tmp/no/such/dir/x.eth for writing: No such file or directory"
check import-extension 1 "$tool" import "$tmp/ethernet.pcap" "$tmp/x.cap"
expect_err import-extension "caplib: $tmp/x.cap: capture files must have the extension .eth"
check export-extension 1 "$tool" export "$tmp/ethernet.eth" "$tmp/x.cap"
expect_err export-extension "caplib: $tmp/x.cap: pcap files written must have the extension .pcap"
check export-nowhere 1 "$tool" export "$tmp/ethernet.eth" "$tmp/no/such/dir/x.pcap"
expect_err export-nowhere "caplib: cannot open $tmp/no/such/dir/x.pcap for writing: No such file or directory"
check import-usage 2 "$tool" import "$tmp/ethernet.pcap"
check export-usage 2 "$tool" export "$tmp/ethernet.eth"

# A capture file cut inside its last record: the records before it are
# exported and the damage fails the command.
d=$tmp/cuteth; mkdir "$d"
head -c $(($(stat -c %s "$tmp/ethernet.eth") - 20)) "$tmp/ethernet.eth" >"$d/cut.eth"
check export-cut 1 "$tool" export "$d/cut.eth" "$d/cut.pcap"
expect_err export-cut "caplib: $d/cut.eth: damaged after record 5 (108 bytes are not a record); the records before it were converted"
[ "$(records "$d/cut.pcap")" = 5 ] || fail "export-cut: expected 5 frames"

# An empty capture file makes an empty pcap file.
head -c 64 "$src/examples/sample.eth" >"$tmp/empty.eth"
check export-empty 0 "$tool" export "$tmp/empty.eth" "$tmp/empty.pcap"
[ "$(stat -c %s "$tmp/empty.pcap")" = 24 ] || fail "export-empty: not a bare pcap header"

# Every input is read once, by its content: whatever its name, from a
# pipe, a process substitution or a FIFO.
d=$tmp/content; mkdir "$d"
sample=$src/examples/sample.eth
"$tool" trace "$sample" >"$d/sample.trace"
"$tool" trace "$tmp/ethernet.pcap" >"$d/ethernet.trace"
same_trace() {  # name, expected trace, command...
  local name=$1 want=$2
  shift 2
  check "$name" 0 "$@"
  expect_err "$name" ""
  cmp -s "$tmp/out" "$want" || fail "$name: trace differs from $want"
}
for name in x.pcap X.ETH x; do
  cp "$sample" "$d/$name"
  same_trace "capture-named-$name" "$d/sample.trace" "$tool" trace "$d/$name"
done
cp "$tmp/ethernet.pcap" "$d/e.eth"
same_trace pcap-named-eth "$d/ethernet.trace" "$tool" trace "$d/e.eth"
from_stdin() { cat "$1" | "$tool" "$2" - "${@:3}"; }  # file, command, arguments after the input
same_trace capture-stdin "$d/sample.trace" from_stdin "$sample" trace
same_trace pcap-process-substitution "$d/ethernet.trace" "$tool" trace <(cat "$tmp/ethernet.pcap")
check info-stdin 0 from_stdin "$sample" info
grep -q '^records: 16$' "$tmp/out" || fail "info-stdin: $(cat "$tmp/out")"
check import-stdin 0 from_stdin "$tmp/ethernet.pcap" import "$d/stdin.eth"
[ "$(records "$d/stdin.eth")" = 6 ] || fail "import-stdin: expected 6 records"
check unknown-stdin 1 from_stdin "$src/README.md" trace
expect_err unknown-stdin "caplib: standard input: not a capture, pcap or pcapng file (begins 23 20 63 61 70 6c 69 62)"
check empty-stdin 1 "$tool" trace - </dev/null
expect_err empty-stdin "caplib: standard input: not a capture, pcap or pcapng file (it is empty)"
cut_stdin="caplib: standard input: damaged after record 2 (44 bytes are not a record); the records before it were read"
check cut-capture-stdin 1 from_stdin <(head -c 300 "$sample") trace
expect_err cut-capture-stdin "$cut_stdin"

mkfifo "$d/fifo"
from_fifo() {  # file, command... (the FIFO is the command's last argument)
  cat "$1" >"$d/fifo" &
  timeout 30 "${@:2}"
  local rc=$?
  wait
  return $rc
}
same_trace trace-fifo "$d/ethernet.trace" from_fifo "$tmp/ethernet.pcap" "$tool" trace "$d/fifo"
check info-fifo 0 from_fifo "$sample" "$tool" info "$d/fifo"
grep -q '^records: 16$' "$tmp/out" || fail "info-fifo: $(cat "$tmp/out")"
check import-fifo 0 from_fifo "$tmp/ethernet.pcap" "$tool" import "$d/fifo" "$d/fifo.eth"
[ "$(records "$d/fifo.eth")" = 6 ] || fail "import-fifo: expected 6 records"
check import-capture 0 "$tool" import "$sample" "$d/imported.eth"
cmp -s "$sample" "$d/imported.eth" || fail "import-capture: records differ"

# pcap and pcapng from the tools that write them; their exports read back.
if command -v tcpdump >/dev/null; then
  tcpdump_stdin() { tcpdump -r "$1" -w - 2>/dev/null | "$tool" trace -; }
  same_trace tcpdump-stdin "$d/ethernet.trace" tcpdump_stdin "$tmp/ethernet.pcap"
  tcpdump -nn -r "$tmp/ppp.pcap" >"$d/ppp.tcpdump" 2>/dev/null || fail "tcpdump cannot read $tmp/ppp.pcap"
  [ "$(wc -l <"$d/ppp.tcpdump")" = 3 ] && ! grep -q UNSUPPORTED "$d/ppp.tcpdump" ||
    fail "tcpdump reads exported PPP as: $(cat "$d/ppp.tcpdump")"
else
  echo "no tcpdump: its checks skipped"
fi
if command -v tshark >/dev/null; then
  tshark -r "$tmp/ppp.pcap" -T fields -e frame.protocols >"$d/ppp.tshark" 2>/dev/null
  [ "$(grep -c '^ppp:' "$d/ppp.tshark")" = 3 ] || fail "tshark reads exported PPP as: $(cat "$d/ppp.tshark")"
else
  echo "no tshark: its checks skipped"
fi
if command -v mergecap >/dev/null; then
  # Interfaces of two link types in one pcapng, read through a pipe.
  mergecap -F pcapng -w "$d/merged.pcapng" "$tmp/ppp.pcap" "$tmp/ethernet.pcap"
  check trace-merged 0 "$tool" trace <(cat "$d/merged.pcapng")
  expect_err trace-merged ""
  [ "$(grep -c '^[0-9]*\. .* if0 PPP ' "$tmp/out")" = 3 ] || fail "trace-merged: expected 3 PPP records of if0"
  [ "$(grep -c '^[0-9]*\. .* if1 Ethernet ' "$tmp/out")" = 6 ] || fail "trace-merged: expected 6 Ethernet records of if1"
else
  echo "no mergecap: the merged pcapng checks skipped"
fi

# The real captures: every frame converts, one trace record per frame, and
# the frames come back the same (their link types are Ethernet and PPP).
if [ -d "$captures" ]; then
  while read -r name frames; do
    check "real-import $name" 0 "$tool" import "$captures/$name" "$tmp/real.eth"
    expect_err "real-import $name" ""
    [ "$(records "$tmp/real.eth")" = "$frames" ] || fail "real-import $name: expected $frames records"
    check "real-trace $name" 0 "$tool" trace "$captures/$name"
    expect_err "real-trace $name" ""
    [ "$(grep -c '^[0-9]*\. ' "$tmp/out")" = "$frames" ] || fail "real-trace $name: expected $frames records"
    check "real-export $name" 0 "$tool" export "$tmp/real.eth" "$tmp/real.pcap"
    cmp -s <(tail -c +25 "$captures/$name") <(tail -c +25 "$tmp/real.pcap") || fail "real-export $name: frames differ"
  done <<'EOF'
ipx-netbios.pcap 64
mixed-ethernet.pcap 4709
netbios-browse.pcap 114
ppp-ip-icmp.pcap 18
ppp-pap-truncated.pcap 1
pppoe-discovery-2.pcap 2
pppoe-discovery.pcap 1
pppoe-session-2.pcap 2
pppoe-session-lcp.pcap 2
EOF
else
  echo "no shared captures at $captures: real-capture checks skipped"
fi

if [ "$failures" != 0 ]; then echo "$failures failures"; exit 1; fi
echo "all pcap cli checks passed"
