#!/usr/bin/env bash
# bench/capture.sh: caplib capture against tcpdump on the same loopback
# traffic, and filtered traces against tcpdump's.
#
#   bench/capture.sh [-n DATAGRAMS] [-r ROUNDS] [--records RECORDS]
#
# Builds the release preset. Capture: one sender (bench/udp_send) sends
# DATAGRAMS small UDP datagrams (500,000 by default) to a port of
# 127.0.0.1 as fast as it can while `caplib capture -w` (flushed per batch,
# and --buffered) or `tcpdump -w` (-B 2 MiB, its default, and -B 8 MiB,
# caplib's) captures them with a port filter; each round runs every
# capturer once on its own burst. Reported per capturer, as the median of
# the rounds: the sender's rate, records/s written (records over the
# sending time) and the kernel's drops. Traces: the benchmark mix of
# RECORDS Ethernet records (1,000,000 by default) traced by `caplib trace`
# (flushed per record, and --buffered) and `tcpdump -nn -r`, TZ set for
# all, with and without the filter `udp port 137`, to /dev/null; the
# filtered ratios next to the unfiltered ones. Installs tcpdump with
# apt-get when it is missing. Needs capture permission (root or
# CAP_NET_RAW). Not part of the test run.
set -euo pipefail

datagrams=500000
rounds=3
records=1000000
while (($#)); do
  case $1 in
    -n) datagrams=$2; shift 2 ;;
    -r) rounds=$2; shift 2 ;;
    --records) records=$2; shift 2 ;;
    -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "usage: bench/capture.sh [-n DATAGRAMS] [-r ROUNDS] [--records RECORDS]" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
if ! command -v tcpdump >/dev/null; then
  echo "installing: tcpdump"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends tcpdump >/dev/null
fi
"$root/scripts/deps"
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
caplib=$build/tools/caplib
work=$(mktemp -d "${TMPDIR:-/tmp}/caplib-capture.XXXXXX")
capturer=""
trap '[ -n "$capturer" ] && kill "$capturer" 2>/dev/null; rm -rf "$work"' EXIT

median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print NR % 2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# ---- capture ----

port=$((40000 + RANDOM % 20000))
# Each capturer: name|command (the output file is appended)|line that says it listens.
capturers=(
  "caplib capture -w|$caplib capture -i lo -w $work/c.eth udp port $port|caplib: capturing on"
  "caplib capture -w --buffered|$caplib capture -i lo --buffered -w $work/c.eth udp port $port|caplib: capturing on"
  "tcpdump -w|tcpdump -i lo -n -w $work/t.pcap udp port $port|listening on"
  "tcpdump -B 8192 -w|tcpdump -i lo -n -B 8192 -w $work/t.pcap udp port $port|listening on"
)
declare -A rate captured dropped sent
# One burst under one capturer: "sender_s records drops".
burst() {
  local cmd=$1 ready=$2
  $cmd 2>"$work/err" &
  capturer=$!
  for _ in $(seq 200); do grep -q "$ready" "$work/err" && break; sleep 0.05; done
  local took
  took=$("$build/bench/udp_send" "$port" "$datagrams")
  sleep 1  # the capturer catches up
  kill -INT "$capturer"
  wait "$capturer" || true
  capturer=""
  # "N records captured, N received by filter, N dropped by kernel" or
  # tcpdump's three lines "N packets captured" ...
  local got drops
  got=$(grep -Eo '[0-9]+ (records|record|packets|packet) captured' "$work/err" | cut -d' ' -f1)
  drops=$(grep -Eo '[0-9]+ (packets )?dropped by kernel' "$work/err" | cut -d' ' -f1)
  rm -f "$work/c.eth" "$work/t.pcap"
  echo "$took $got $drops"
}
echo "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $datagrams datagrams of 32 bytes to 127.0.0.1:$port, $rounds rounds"
for ((r = 1; r <= rounds; ++r)); do
  for c in "${capturers[@]}"; do
    IFS='|' read -r name cmd ready <<<"$c"
    read -r took got drops < <(burst "$cmd" "$ready")
    sent[$name]+="$(echo "$datagrams / $took" | bc) "
    rate[$name]+="$(echo "$got / $took" | bc) "
    captured[$name]+="$got "
    dropped[$name]+="$drops "
  done
  echo "round $r done"
done
printf '\n%-30s %14s %14s %12s %12s\n' "capturer" "sent/s" "records/s" "captured" "dropped"
for c in "${capturers[@]}"; do
  IFS='|' read -r name _ <<<"$c"
  printf '%-30s %14s %14s %12s %12s\n' "$name" "$(median <<<"${sent[$name]}")" "$(median <<<"${rate[$name]}")" \
    "$(median <<<"${captured[$name]}")" "$(median <<<"${dropped[$name]}")"
done

# ---- filtered traces ----

echo
echo "writing the mix: $records Ethernet records"
"$build/bench/mix" -n "$records" --ppp 0 "$work/mix" >/dev/null
"$caplib" export "$work/mix.eth" "$work/mix.pcap"
zone=CET-1CEST,M3.5.0,M10.5.0/3
traces=(
  "caplib trace|$caplib trace $work/mix.eth"
  "caplib trace --buffered|$caplib trace --buffered $work/mix.eth"
  "tcpdump -nn -r|tcpdump -nn -r $work/mix.pcap"
  "caplib trace udp port 137|$caplib trace $work/mix.eth udp port 137"
  "caplib trace --buffered udp port 137|$caplib trace --buffered $work/mix.eth udp port 137"
  "tcpdump -nn -r udp port 137|tcpdump -nn -r $work/mix.pcap udp port 137"
)
declare -A seconds
for ((r = 1; r <= rounds; ++r)); do
  for t in "${traces[@]}"; do
    IFS='|' read -r name cmd <<<"$t"
    start=$(date +%s%N)
    env TZ="$zone" $cmd >/dev/null 2>&1
    end=$(date +%s%N)
    seconds[$name]+="$(echo "scale=4; ($end - $start) / 1000000000" | bc) "
  done
done
kept=$("$caplib" info "$work/mix.eth" udp port 137 | sed -n 's/^records: //p')
printf '\n%-40s %10s %14s   (TZ set, to /dev/null; %s of %s records pass the filter)\n' \
  "command" "median s" "records/s" "$kept" "$records"
declare -A med
for t in "${traces[@]}"; do
  IFS='|' read -r name _ <<<"$t"
  med[$name]=$(median <<<"${seconds[$name]}")
  printf '%-40s %10.3f %14s\n' "$name" "${med[$name]}" "$(echo "$records / ${med[$name]}" | bc)"
done
ratio() { echo "scale=2; ${med[$2]} / ${med[$1]}" | bc; }
echo
echo "caplib/tcpdump speed:     unfiltered  udp port 137"
printf '  flushed per record       %10s  %12s\n' "$(ratio "caplib trace" "tcpdump -nn -r")" \
  "$(ratio "caplib trace udp port 137" "tcpdump -nn -r udp port 137")"
printf '  --buffered               %10s  %12s\n' "$(ratio "caplib trace --buffered" "tcpdump -nn -r")" \
  "$(ratio "caplib trace --buffered udp port 137" "tcpdump -nn -r udp port 137")"
