#!/usr/bin/env bash
# The caplib tool as users meet it: options, exit codes and one-line
# errors, the commands' output, inputs of every format read once from
# files, pipes and FIFOs, and outputs that are whole or untouched whatever
# fails. Runs in a scratch directory.
# shellcheck disable=SC2016,SC2034  # tables and checks are shell text, run by eval
. "$(dirname "$0")/lib.sh"
captures=$src/../shared/captures
# has N FILE: N records in FILE, a trace (out) or a capture of any format.
has() {
  if [ "$2" = out ]; then [ "$(grep -c '^[0-9]*\. ' out)" = "$1" ]; else
    [ "$(caplib info "$2" 2>/dev/null | sed -n 's/^records: //p')" = "$1" ]; fi
}
line() { [ "$(sed -n "$1p" out)" = "$2" ]; }
out_is() { [ "$(cat out)" = "$1" ]; }
piped() { cat "$1" | "$tool" "${@:2}"; }  # FILE ARGUMENTS...: FILE on standard input
fifo() { cat "$1" >fifo & timeout 30 "$tool" "${@:2}"; local rc=$?; wait; return $rc; }  # the same through fifo

cp "$src/examples/sample.eth" s.eth
head -c 64 s.eth >big.eth
for _ in $(seq 100); do tail -c +65 s.eth >>big.eth; done
head -c 64 s.eth >empty.eth
head -c 300 s.eth >cut.eth
printf 'not a capture' >junk.eth
printf 'ff:ff:ff:ff:ff:ff\n00a0c5110233 9000\n' >hex.txt
mkdir dir.eth
mkfifo fifo
unknown="not a capture, pcap or pcapng file"
limit="caplib: --append-limit takes a byte count from 0 to 2147483647, not"
threads="caplib: -j takes a thread count from 0 to 256, not"
give="(give NAME.log or NAME without extension)\n(see caplib trace --help)"
cut="caplib: cut.eth: damaged after record 2 (44 bytes are not a record); the records before it were"
pcut="caplib: cut.pcap: damaged after 2 frames (a frame is cut short: 10 of 140 bytes); 2 converted"
same="it is the same file as the input"
eth_text="Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000"
version=$(sed -n 's/^project(caplib VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")

for c in "" trace copy import export decode info; do
  run 0 "" "caplib $c --help" "head -1 out | grep -q '^usage: caplib ${c:-COMMAND} '"
done

# A capture of every layer splits into one pcap per layer; each comes back
# byte for byte through a capture file.
run 0 "caplib: s.eth mixes layers, written as one pcap file per layer: s-ppp.pcap (3 frames), \
s-ethernet.pcap (6 frames), s-tokenring.pcap (1 frame), s-ip.pcap (1 frame), s-ipx.pcap (1 frame), \
s-arp.pcap (1 frame)\ncaplib: s.eth: skipped 3 records of layers without a pcap link type: ISAKMP (1), BNEP (1), \
RFC1483 (1)" "caplib export s.eth s.pcap" \
  '[ "$(echo s*.pcap*)" = "s-arp.pcap s-ethernet.pcap s-ip.pcap s-ipx.pcap s-ppp.pcap s-tokenring.pcap" ]'
for layer in ppp ethernet tokenring ip ipx arp; do
  run 0 "" "caplib import s-$layer.pcap $layer.eth && caplib export $layer.eth $layer.pcap" \
    "cmp -s s-$layer.pcap $layer.pcap"
done
cp ethernet.pcap e.eth
head -c $((24 + 16 + 60 + 16 + 92 + 16 + 10)) ethernet.pcap >cut.pcap
cp ethernet.pcap w.pcap
printf '\151\000\000\000' | dd of=w.pcap bs=1 seek=20 conv=notrunc status=none
caplib trace s.eth >s.trace
caplib trace ethernet.pcap >e.trace
caplib trace -x --sep '\r\n' s.eth >hex.trace
# Batches enough for several threads.
caplib trace -x --sep '\r\n' big.eth >plain.trace
netbios="udp port 137 or tcp port 139"
caplib trace big.eth $netbios >filtered.trace

table <<'EOF'
0|caplib --version||out_is "caplib $version"
# Usage errors: one line that names the fault, then where the usage is.
2|caplib|caplib: no command given\n(see caplib --help)
2|caplib frobnicate|caplib: unknown command frobnicate\n(see caplib --help)
2|caplib info -x a.eth|caplib: info has no option -x\n(see caplib info --help)
2|caplib copy --sep=x a.eth b.eth|caplib: copy has no option --sep\n(see caplib copy --help)
2|caplib trace --hex=1 a.eth|caplib: --hex takes no value\n(see caplib trace --help)
2|caplib trace a.eth --sep|caplib: --sep needs a value\n(see caplib trace --help)
2|caplib import a.eth b.eth c|caplib: import takes a capture and an output capture file\n(see caplib import --help)
2|caplib copy a.eth|caplib: copy takes an input and an output capture file\n(see caplib copy --help)
2|caplib copy a.eth b.eth --append-limit -5|$limit '-5'\n(see caplib copy --help)
2|caplib trace -c 0 a.eth|caplib: -c takes a record count from 1, not '0'\n(see caplib trace --help)
2|caplib trace -o out.txt a.eth|caplib: -o out.txt would write out.log $give
2|caplib trace -o a.b/c.d a.eth|caplib: -o a.b/c.d would write a.b/c.log $give
2|caplib trace --name x s.eth|caplib: --name is for pcap and pcapng input\n(see caplib trace --help)
2|caplib trace -j 2 s.eth|caplib: -j is for --buffered traces\n(see caplib trace --help)
2|caplib trace --buffered -j 257 s.eth|$threads '257'\n(see caplib trace --help)
2|caplib trace --buffered -j '' s.eth|$threads ''\n(see caplib trace --help)
2|caplib decode 00|caplib: decode needs --layer\n(see caplib decode --help)
2|caplib decode --layer fddi 00|caplib: unknown layer fddi\n(see caplib decode --help)
2|caplib decode --layer ethernet|caplib: decode needs a frame in hex\n(see caplib decode --help)
2|caplib decode --layer ethernet abc|caplib: odd number of hex digits\n(see caplib decode --help)
2|caplib decode --layer ethernet 0g|caplib: not a hex digit: g\n(see caplib decode --help)
# Failures: one line that names the cause.
1|caplib trace junk.eth|caplib: junk.eth: $unknown (begins 6e 6f 74 20 61 20 63 61)
1|caplib trace - </dev/null|caplib: standard input: $unknown (it is empty)
1|caplib info missing.eth|caplib: cannot read missing.eth: No such file or directory
1|caplib info dir.eth|caplib: cannot read dir.eth: Is a directory
1|caplib trace -o no/such/t s.eth|caplib: cannot open no/such/t.log for writing: No such file or directory
1|caplib import ethernet.pcap no/such/x.eth|caplib: cannot open no/such/x.eth for writing: No such file or directory
1|caplib export s.eth no/such/x.pcap|caplib: cannot open no/such/x.pcap for writing: No such file or directory
1|caplib import ethernet.pcap x.cap|caplib: x.cap: capture files must have the extension .eth
1|caplib export s.eth x.cap|caplib: x.cap: pcap files written must have the extension .pcap
1|caplib import w.pcap w.eth|caplib: w.pcap: link type 105 has no layer code; 6 frames skipped|[ ! -e w.eth ]
# Traces however the options are spelled, decode and copy.
0|caplib trace s.eth||line 2 '1. 04.12.2026 17:24:13.123 ch1 PPP >>> 18/18 Normal Channel=2' && has 16 out
0|caplib trace ppp.pcap||line 2 '1. 04.12.2026 17:24:13.123 if0 PPP <<< 18/18 Normal Channel=0'
0|caplib trace --name wan0 s-ip.pcap||line 2 '1. 04.12.2026 17:24:16.533 wan0 IP <<< 40/40 Normal'
0|caplib info ethernet.pcap||grep -qx 'layer Ethernet (1): 6' out
0|caplib trace -x --sep '\r\n' -- s.eth||cmp -s out hex.trace
0|caplib trace s.eth --hex --se='\r\n' -o -||cmp -s out hex.trace
0|caplib trace -x --sep '\r\n' -o t s.eth||cmp -s t.log hex.trace
0|caplib trace --buffered -x --sep='\r\n' -o u.log s.eth||cmp -s u.log hex.trace
0|caplib trace --buffered -j 2 -x --sep '\r\n' big.eth||cmp -s out plain.trace
0|caplib trace --buffered -j 0 -x --sep '\r\n' -o j big.eth||cmp -s j.log plain.trace
0|caplib trace --buffered -j 3 big.eth $netbios||cmp -s out filtered.trace
0|caplib trace --buffered -j 2 -c 700 big.eth||has 700 out
0|caplib decode --layer ethernet 'ffffffffffff 00a0c5110233' 9000||out_is "$eth_text"
0|caplib decode --layer=ethernet - <hex.txt||out_is "$eth_text"
0|caplib decode --layer 1 --sep ';' 0011223344||out_is 'sliced Ethernet header;'
0|caplib copy -w c.eth -r s.eth||cmp -s c.eth s.eth
0|caplib copy s.eth c.eth --append-limit 0||has 32 c.eth
0|caplib export empty.eth empty.pcap||cmp -s empty.pcap <(head -c 24 ethernet.pcap)
# Damage: the records before it are used, then one line (-c 2 stops before it).
1|caplib trace cut.eth|$cut read|has 2 out
0|caplib trace -c 2 cut.eth||has 2 out
1|caplib copy cut.eth cut-copy.eth|$cut copied|has 2 cut-copy.eth
1|caplib export cut.eth cut-export.pcap|$cut converted|has 2 cut-export.pcap
1|caplib import cut.pcap cut-import.eth|$pcut|has 2 cut-import.eth
# Every input is read once, by its content: whatever its name, from a pipe or a FIFO.
0|caplib trace e.eth||cmp -s out e.trace
0|piped s.eth trace -||cmp -s out s.trace
0|caplib trace <(cat ethernet.pcap)||cmp -s out e.trace
0|piped ethernet.pcap import - stdin.eth||has 6 stdin.eth
0|fifo s.eth info fifo||grep -qx 'records: 16' out
EOF

# Standard output that fails: one line with the cause, exit 1; a reader
# that goes away (| head) ends the trace quietly, SIGPIPE ignored or not.
if [ -w /dev/full ]; then
  for args in "trace s.eth" "trace --buffered s.eth" "trace --buffered -j 2 big.eth" "info s.eth" "decode --layer 1 00" --help; do
    run 1 "caplib: writing standard output failed: No space left on device" "caplib $args >/dev/full"
  done
fi
run 1 "caplib: writing standard output failed: Bad file descriptor" "caplib trace s.eth >&-"
for args in "-x big.eth" "--buffered -j 2 -x big.eth"; do
  for sigpipe in default ignored; do
    status=$({ [ $sigpipe = default ] || trap '' PIPE
      "$tool" trace $args 2>err | head -1 >/dev/null
      echo "${PIPESTATUS[0]}"; })
    case $status in 0 | 141) ;; *) fail "trace $args | head, SIGPIPE $sigpipe: exit $status" ;; esac
    [ ! -s err ] || fail "trace $args | head, SIGPIPE $sigpipe: $(cat err)"
  done
done

# An output that is an input, by any name, or read-only is refused by
# every command before anything is written; nothing changes.
for f in self.eth x.log ro.eth; do cp s.eth $f; done
ln -s self.eth link.eth; ln self.eth hard.eth; ln -s self.eth link.pcap; ln self.eth h-arp.pcap
chmod a-w ro.eth
table <<'EOF'
1|caplib copy link.eth hard.eth|caplib: cannot write hard.eth: $same link.eth
1|caplib copy - self.eth <self.eth|caplib: cannot write self.eth: $same standard input
1|caplib trace -o x x.log|caplib: cannot write x.log: $same x.log
1|caplib import link.pcap self.eth|caplib: cannot write self.eth: $same link.pcap
1|caplib export self.eth h.pcap|caplib: cannot write h-arp.pcap: $same self.eth
1|caplib copy self.eth ro.eth|caplib: cannot write ro.eth: Permission denied
EOF
for f in self.eth x.log ro.eth; do cmp -s $f s.eth || fail "refused outputs: $f changed"; done

# Outputs that fail while written: one line with the cause, and no file of
# the name, or the old one whole. A full device (links to /dev/full), and
# a file size limit of 3 KiB for a disk that fills part-way, where the
# append to a file of 2 KiB gets part of its records in; killed by
# SIGXFSZ instead, the tool still removes what it began.
if [ -w /dev/full ]; then
  for f in full.log full.eth full.pcap; do ln -s /dev/full $f; done
  table <<'EOF'
1|caplib trace -o full s.eth|caplib: writing full.log failed: No space left on device
1|caplib trace --buffered -j 2 -o full big.eth|caplib: writing full.log failed: No space left on device
1|caplib copy s.eth full.eth|caplib: writing full.eth failed: No space left on device
1|caplib copy s.eth full.eth --append-limit 0|caplib: writing full.eth failed: No space left on device
1|caplib export -r ethernet.eth -w full.pcap|caplib: writing full.pcap failed: No space left on device
EOF
fi
mkdir filling
echo old >filling/t.log
cp s.eth filling/grow.eth
cp s.eth filling/restart.eth
while IFS='|' read -r args file; do
  for xfsz in ignored default; do
    { (ulimit -f 3 && { [ $xfsz = default ] || trap '' XFSZ; } && cd filling && exec "$tool" $args) \
      >out 2>err; } 2>/dev/null
    status=$?
    if [ $xfsz = default ]; then
      [ $status = 153 ] || fail "$args killed by SIGXFSZ: exit $status"
    elif [ $status != 1 ] || [ "$(cat err)" != "caplib: writing $file failed: File too large" ]; then
      fail "$args on a filling disk: exit $status, $(cat err)"
    fi
  done
done <<'EOF'
trace -x -o t ../big.eth|t.log
copy ../big.eth small.eth|small.eth
copy ../big.eth grow.eth --append-limit 0|grow.eth
copy ../big.eth restart.eth --append-limit 100|restart.eth
export ../big.eth big.pcap|big.pcap
EOF
[ "$(cat filling/t.log)" = old ] && cmp -s filling/grow.eth s.eth && cmp -s filling/restart.eth s.eth ||
  fail "a filling disk changed an old file"
[ "$(cd filling && echo *)" = "grow.eth restart.eth t.log" ] || fail "filling disk left $(cd filling && echo *)"

# pcap and pcapng from the tools that write them; exported PPP read back.
for t in tcpdump tshark mergecap; do command -v $t >/dev/null || echo "no $t: its checks skipped"; done
if command -v tcpdump >/dev/null; then
  run 0 "" "tcpdump -r ethernet.pcap -w - 2>/dev/null | caplib trace -" "cmp -s out e.trace"
  run 0 "" "tcpdump -nn -r ppp.pcap 2>/dev/null" '[ "$(wc -l <out)" = 3 ] && ! grep -q UNSUPPORTED out'
fi
if command -v tshark >/dev/null; then
  run 0 "" "tshark -r ppp.pcap -T fields -e frame.protocols 2>/dev/null" '[ "$(grep -c "^ppp:" out)" = 3 ]'
fi
if command -v mergecap >/dev/null; then
  # Interfaces of two link types in one pcapng, read through a pipe.
  mergecap -F pcapng -w merged.pcapng ppp.pcap ethernet.pcap
  run 0 "" "caplib trace <(cat merged.pcapng)" \
    '[ "$(grep -c " if0 PPP " out) $(grep -c " if1 Ethernet " out)" = "3 6" ]'
fi

# Real captures of both link types they have (Ethernet, PPP), a PPP frame
# cut short among them: every frame converts and comes back the same.
if [ -d "$captures" ]; then
  while read -r name frames; do
    run 0 "" "caplib import $captures/$name real.eth" "has $frames real.eth"
    run 0 "" "caplib export real.eth real.pcap" "cmp -s <(tail -c +25 $captures/$name) <(tail -c +25 real.pcap)"
  done <<'EOF'
mixed-ethernet.pcap 4709
ppp-ip-icmp.pcap 18
ppp-pap-truncated.pcap 1
EOF
else
  echo "no shared captures at $captures: real-capture checks skipped"
fi

passed "all cli checks passed"
