#!/usr/bin/env bash
# bench/compare.sh: caplib's text traces against tcpdump and tshark on the
# same frames, measured side by side in one run.
#
#   bench/compare.sh [-n RECORDS] [-r ROUNDS] [--keep DIR]
#
# Builds the release preset, writes the benchmark mix (bench/mix, RECORDS
# Ethernet records, 1,000,000 by default, and a PPP capture of a quarter as
# many), exports both to pcap with `caplib export`, then runs every
# command once per round, round after round (so that the noise of a shared
# machine falls on all of them alike), and prints the median of the
# rounds with the spread. Installs tcpdump and tshark with apt-get when
# they are missing. Not part of the test run: it takes minutes.
set -euo pipefail

records=1000000
rounds=5
keep=""
while (($#)); do
  case $1 in
    -n) records=$2; shift 2 ;;
    -r) rounds=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "usage: bench/compare.sh [-n RECORDS] [-r ROUNDS] [--keep DIR]" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release

missing=()
command -v tcpdump >/dev/null || missing+=(tcpdump)
command -v tshark >/dev/null || missing+=(tshark)
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$root/scripts/deps"
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
caplib=$build/tools/caplib

if [ -n "$keep" ]; then
  work=$keep
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/caplib-compare.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi

cut=100000
((cut > records)) && cut=$records
echo "writing the mix: $records Ethernet records, $((records / 4)) PPP records, a cut of $cut for tshark"
"$build/bench/mix" -n "$records" "$work/mix" >/dev/null
"$build/bench/mix" -n "$cut" --ppp 0 "$work/cut" >/dev/null
for f in mix mix-ppp cut; do
  "$caplib" export "$work/$f.eth" "$work/$f.pcap"
done
ppp_records=$((records / 4))
data_bytes=$("$caplib" info "$work/mix.eth" | sed -n 's/^captured bytes: //p')

# The zone for the runs with TZ set, central European time as a rule (no
# zone file needed); the mix crosses its spring switch.
zone=CET-1CEST,M3.5.0,M10.5.0/3
# The filter of the filtered traces: NetBIOS name service, 4 % of the mix.
filter="udp port 137"

# Each case: name|records|output (null or file)|TZ (- for unset)|command.
# The command's standard output goes to /dev/null or to a file. Commands
# that a ratio compares run one right after the other.
cases=()
add() { cases+=("$1|$2|$3|$4|$5"); }
for out in null file; do
  add "caplib trace" "$records" $out - "$caplib trace $work/mix.eth"
  add "floor (read, one line, flush)" "$records" $out - "$build/bench/floor $work/mix.eth"
  add "tcpdump -nn -r" "$records" $out - "tcpdump -nn -r $work/mix.pcap"
  add "caplib trace --buffered" "$records" $out $zone "$caplib trace --buffered $work/mix.eth"
  add "caplib trace --buffered -j 2" "$records" $out $zone "$caplib trace --buffered -j 2 $work/mix.eth"
  add "tcpdump -nn -r, TZ set" "$records" $out $zone "tcpdump -nn -r $work/mix.pcap"
  add "caplib trace -x" "$records" $out - "$caplib trace -x $work/mix.eth"
  add "tcpdump -nn -x -r" "$records" $out - "tcpdump -nn -x -r $work/mix.pcap"
  add "tshark -r (cut)" "$cut" $out - "tshark -r $work/cut.pcap"
  add "caplib trace, PPP" "$ppp_records" $out - "$caplib trace $work/mix-ppp.eth"
  add "tcpdump -nn -r, PPP" "$ppp_records" $out - "tcpdump -nn -r $work/mix-ppp.pcap"
  # Filtered: every record is read, few are traced.
  add "caplib trace $filter" "$records" $out $zone "$caplib trace $work/mix.eth $filter"
  add "caplib trace --buffered $filter" "$records" $out $zone "$caplib trace --buffered $work/mix.eth $filter"
  add "caplib trace --buffered -j 2 $filter" "$records" $out $zone \
    "$caplib trace --buffered -j 2 $work/mix.eth $filter"
  add "tcpdump -nn -r $filter, TZ set" "$records" $out $zone "tcpdump -nn -r $work/mix.pcap $filter"
done
add "caplib copy" "$records" file - "$caplib copy $work/mix.eth $work/copy.eth"

# One timed run; prints seconds.
run() {
  local out=$1 tz=$2 cmd=$3 start end
  local target=/dev/null
  [ "$out" = file ] && target=$work/out.txt
  start=$(date +%s%N)
  if [ "$tz" = - ]; then
    env -u TZ $cmd >"$target" 2>/dev/null
  else
    env TZ="$tz" $cmd >"$target" 2>/dev/null
  fi
  end=$(date +%s%N)
  # Dropping the file at once keeps its dirty pages from piling up.
  rm -f "$work/out.txt" "$work/copy.eth"
  echo "scale=4; ($end - $start) / 1000000000" | bc
}

echo "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $rounds rounds"
declare -A times
for ((r = 1; r <= rounds; ++r)); do
  for i in "${!cases[@]}"; do
    IFS='|' read -r name n out tz cmd <<<"${cases[$i]}"
    times[$i]+="$(run "$out" "$tz" "$cmd") "
  done
  echo "round $r done"
done

# median, min and max of a list of numbers
stats() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {m = NR % 2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2; print m, v[1], v[NR]}'; }

declare -A rate index
printf '\n%-42s %-6s %5s %9s %12s  %s\n' "command" "output" "TZ" "median s" "records/s" "spread (min..max s)"
for i in "${!cases[@]}"; do
  IFS='|' read -r name n out tz cmd <<<"${cases[$i]}"
  read -r med lo hi < <(echo "${times[$i]}" | stats)
  r=$(echo "$n / $med" | bc)
  rate["$name|$out"]=$r
  index["$name|$out"]=$i
  printf '%-42s %-6s %5s %9.3f %12s  %.3f..%.3f\n' "$name" "$out" "$([ "$tz" = - ] && echo unset || echo set)" \
    "$med" "$r" "$lo" "$hi"
  [ "$name" = "caplib copy" ] && copy_s=$med
done

# A ratio of records/s of two /dev/null cases, round by round (the two
# ran next to each other): prints the median, then min and max.
ratio_rounds() {
  local a=${index["$1|null"]} b=${index["$2|null"]} na nb
  IFS='|' read -r _ na _ <<<"${cases[$a]}"
  IFS='|' read -r _ nb _ <<<"${cases[$b]}"
  paste <(echo "${times[$a]}" | tr ' ' '\n' | grep .) <(echo "${times[$b]}" | tr ' ' '\n' | grep .) |
    awk -v na="$na" -v nb="$nb" '{ printf "%.4f ", (na / $1) / (nb / $2) }' | stats
}
declare -a names=("caplib/tcpdump" "caplib-buffered/tcpdump-tz" "caplib-hex/tcpdump-hex" "caplib/floor"
                  "caplib-buffered-j2/caplib-buffered" "caplib-buffered-j2/tcpdump-tz"
                  "filtered caplib/tcpdump-tz" "filtered caplib-buffered/tcpdump-tz"
                  "filtered caplib-buffered-j2/tcpdump-tz")
declare -a pairs=("caplib trace|tcpdump -nn -r" "caplib trace --buffered|tcpdump -nn -r, TZ set"
                  "caplib trace -x|tcpdump -nn -x -r" "caplib trace|floor (read, one line, flush)"
                  "caplib trace --buffered -j 2|caplib trace --buffered"
                  "caplib trace --buffered -j 2|tcpdump -nn -r, TZ set"
                  "caplib trace $filter|tcpdump -nn -r $filter, TZ set"
                  "caplib trace --buffered $filter|tcpdump -nn -r $filter, TZ set"
                  "caplib trace --buffered -j 2 $filter|tcpdump -nn -r $filter, TZ set")
echo
echo "ratios of records/s to /dev/null, paired round by round: median (min..max)"
declare -a medians
for k in "${!names[@]}"; do
  read -r med lo hi < <(ratio_rounds "${pairs[$k]%%|*}" "${pairs[$k]#*|}")
  medians[$k]=$(printf '%.2f' "$med")
  printf '  %-38s %s (%.2f..%.2f)\n' "${names[$k]}" "${medians[$k]}" "$lo" "$hi"
done
echo
echo "caplib copy: $(awk -v n="$data_bytes" -v s="$copy_s" 'BEGIN { printf "%.2f", n / s / 1e9 }') GB/s of record data ($data_bytes bytes)"
for k in "${!names[@]}"; do echo "${names[$k]} ratio: ${medians[$k]}"; done
