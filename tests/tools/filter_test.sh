#!/usr/bin/env bash
# Filter expressions on the reading commands: the records each keeps of
# the sample capture and the real captures beside the project, checked
# against tcpdump on the exported pcap when it is installed; numbers kept
# in the trace; copy, export and info filtered; the errors.
. "$(dirname "$0")/lib.sh"
sample="$src/examples/sample.eth"

numbers() { grep -o '^[0-9]*\. ' | tr -d '. ' | tr '\n' ' ' | sed 's/ $//'; }

captures=$src/../shared/captures
[ -d "$captures" ] || echo "no shared captures at $captures: their rows skipped"
# FILE (S the sample, C/ the captures)|EXPRESSION|how many kept: the first six
while IFS='|' read -r file expression want; do
  file=${file/#S/$sample}
  file=${file/#C/$captures}
  [ -e "$file" ] || [ -d "$captures" ] || continue
  run 0 "" 'caplib trace "$file" $expression'
  got=$(numbers <out)
  n=$(wc -w <<<"$got")
  [ "$n: $(cut -d' ' -f1-6 <<<"$got")" = "$want" ] || fail "$file '$expression' keeps $n: $got, expected $want"
  command -v tcpdump >/dev/null || continue
  rm -rf x && mkdir x && caplib export "$file" x/x.pcap 2>/dev/null
  for p in x/*.pcap; do  # tcpdump fails on a link type it does not compile for: none kept
    k=$(tcpdump -nn --count -r "$p" "$expression" 2>/dev/null | cut -d' ' -f1)
    n=$((n - ${k:-0}))
  done
  [ "$n" = 0 ] || fail "$file '$expression': tcpdump keeps $n fewer of the exported frames"
done <<'EOF'
S|udp port 137|1: 5
S|ipx|2: 8 12
S|arp|2: 4 13
S|tcp|2: 6 11
S|not ip|7: 1 2 4 8 9 12
C/netbios-browse.pcap|udp port 137|36: 4 5 6 8 9 10
C/pppoe-session-lcp.pcap|pppoes|2: 1 2
C/ppp-ip-icmp.pcap|icmp|9: 2 4 6 8 10 12
C/mixed-ethernet.pcap|tcp[tcpflags] & tcp-syn != 0|252: 55 56 70 71 158 159
C/mixed-ethernet.pcap|vlan|24: 1 2 3 4 5 6
EOF

# A filtered trace shows each record it keeps as the whole trace does.
caplib trace -x "$sample" | awk -v RS= -v ORS='\n\n' '$1 == "3." || $1 == "5." || $1 == "7." || $1 == "10."' >want
run 0 "" 'caplib trace -x "$sample" ip and not tcp' "awk -v RS= -v ORS='\n\n' 1 out | cmp -s - want"
run 0 "" 'caplib copy "$sample" c.eth udp or arp' "caplib info c.eth | grep -qx 'records: 4'"
run 0 "caplib: $sample mixes layers, written as one pcap file per layer: e-ethernet.pcap (1 frame), e-ipx.pcap (1 frame)" \
  'caplib export "$sample" e.pcap ipx'
# A layer the expression does not compile for keeps nothing, and says so;
# one that compiles for none is a usage error, before the input is opened.
run 0 "caplib: the filter does not compile for PPP records (link type 9: not a broadcast link); 3 left out
caplib: the filter does not compile for IP records (link type 228: not a broadcast link); 1 left out
caplib: the filter does not compile for IPX records (link type 113: not a broadcast link); 1 left out
caplib: the filter does not compile for ARP records (link type 113: not a broadcast link); 1 left out" \
  'caplib info "$sample" ether broadcast' "grep -qx 'records: 4' out"
run 2 "caplib: the filter does not compile: illegal port number 70000 > 65535\n(see caplib copy --help)" \
  'caplib copy missing.eth o.eth udp port 70000'

passed "filter tests passed"
