#!/usr/bin/env bash
# caplib capture: usage errors, then live captures on the loopback
# interface of UDP datagrams sent to 127.0.0.1 (nothing else is ever a
# target): records and payloads, the trace on standard output, flushing,
# SIGTERM and SIGINT, the ring, a failed write. Without capture permission
# (root or CAP_NET_RAW) the live part is skipped with status 77.
. "$(dirname "$0")/lib.sh"

see="\n(see caplib capture --help)"
table <<'EOF'
2|caplib capture -w a.eth|caplib: capture needs -i INTERFACE$see
2|caplib capture -i lo -w a.eth -C 1000|caplib: -C and -W go together$see
2|caplib capture -i lo -w a.eth -C 1000 -W 2 --append-limit 9|caplib: a ring (-C) continues its file by its own size, without --append-limit$see
2|caplib capture -i lo -w a.eth -x|caplib: -x is for the trace, without -w$see
EOF

if (((0x$(awk '/^CapEff:/ {print $2}' /proc/self/status) >> 13 & 1) == 0)); then
  [ "$failures" = 0 ] || exit 1
  echo "SKIP live capture: it needs root or CAP_NET_RAW"
  exit 77
fi

run 1 "caplib: nosuch0: No such device exists" "caplib capture -i nosuch0"
port=$((40000 + RANDOM % 20000))
ready="caplib: capturing on lo, link type 1 (EN10MB)"
start() {  # name, options: a capture in the background once it listens; pid
  local name=$1
  shift
  (ulimit -f "${limit:-unlimited}" && exec timeout 30 "$tool" capture -i lo "$@") >"$tmp/$name.out" 2>"$tmp/$name.err" &
  pid=$!
  pids="$pids $pid"
  for _ in $(seq 100); do
    [ "$(head -1 "$tmp/$name.err" 2>/dev/null)" = "$ready" ] && return
    sleep 0.1
  done
  fail "$name: not capturing: $(cat "$tmp/$name.err")"
}
send() { for text; do printf '%s' "$text" >"/dev/udp/127.0.0.1/$port"; done; }
finish() {  # name, pid, exit status, the line after the first on standard error
  wait "$2"
  local got=$?
  [ "$got" = "$3" ] || fail "$1: exit $got, expected $3"
  # The kernel counts both copies of a looped-back frame.
  [ "$(sed 's/, [0-9]* received by filter, 0 dropped/, N received by filter, 0 dropped/' "$tmp/$1.err")" = "$ready
$4" ] || fail "$1: standard error: $(cat "$tmp/$1.err")"
}
untimed() { sed 's/^\([0-9]*\. \)[0-9.]* [0-9:.]* /\1/' "$@"; }
payloads() { "$tool" trace -x "$1" | grep -o 'cap-[0-9]' | tr '\n' ' '; }
captured() { echo "caplib: $1 captured, N received by filter, 0 dropped by kernel"; }

# Five records of the port, not the datagram to the port beside it nor
# the sixth; the trace on standard output as trace prints them but for
# the time stamps, which each capture takes on its own.
start file -w "$tmp/c.eth" -c 5 udp port $port
file=$pid
start traced -c 5 -x udp port $port
printf other >"/dev/udp/127.0.0.1/$((port + 1))"
send cap-1 cap-2 cap-3 cap-4 cap-5 cap-6
finish traced $pid 0 "$(captured "5 records")"
finish file $file 0 "$(captured "5 records")"
[ "$(payloads "$tmp/c.eth")" = "cap-1 cap-2 cap-3 cap-4 cap-5 " ] || fail "payloads: $(payloads "$tmp/c.eth")"
"$tool" trace -x "$tmp/c.eth" | untimed >"$tmp/want"
untimed "$tmp/traced.out" | cmp -s - "$tmp/want" || fail "the trace on standard output differs from trace of the file"
grep -q '^1\. lo Ethernet <<< 47/47 Normal$' "$tmp/want" || fail "header: $(head -2 "$tmp/want")"

# Flushed as records come, while the capture runs; SIGTERM ends it
# normally. --buffered holds them back until SIGINT ends its capture.
start flushed -w "$tmp/f.eth" udp port $port
flushed=$pid
start buffered -w "$tmp/b.eth" --buffered udp port $port
send cap-1 cap-2
for _ in $(seq 50); do [ "$(payloads "$tmp/f.eth")" = "cap-1 cap-2 " ] && break; sleep 0.1; done
[ "$(stat -c %s "$tmp/b.eth")" = 64 ] || fail "buffered: $(stat -c %s "$tmp/b.eth") bytes written while capturing"
kill -TERM $flushed
finish flushed $flushed 0 "$(captured "2 records")"
kill -INT $pid
finish buffered $pid 0 "$(captured "2 records")"
[ "$(payloads "$tmp/f.eth")/$(payloads "$tmp/b.eth")" = "cap-1 cap-2 /cap-1 cap-2 " ] || fail "flushed, buffered"

# A ring of three files of at most 400 bytes: the file header and two
# records of 160 bytes (48 header, 16 name, 96 frame). The two oldest
# records are dropped; the next capture continues r.eth.
pad=$(printf 'x%.0s' {1..34})
start ring -w "$tmp/r.eth" -C 400 -W 3 -c 7 udp port $port
send cap-{1..7}$pad
finish ring $pid 0 "$(captured "7 records")"
start ring2 -w "$tmp/r.eth" -C 400 -W 3 -c 1 udp port $port
send cap-8$pad
finish ring2 $pid 0 "$(captured "1 record")"
got=$(for f in r2 r1 r; do echo -n "$f: $(payloads "$tmp/$f.eth")"; done; ls "$tmp" | grep -c '^r.*eth$')
[ "$got" = "r2: cap-3 cap-4 r1: cap-5 cap-6 r: cap-7 cap-8 3" ] || fail "ring: $got"

# A file size limit of 1024 bytes fails the sixth record of 176 bytes
# part-way: the file is cut back to the five before it (944 bytes).
pad=$(printf 'x%.0s' {1..53})
limit=1 start limit -w "$tmp/l.eth" -c 9 udp port $port
send cap-{1..9}$pad
finish limit $pid 1 "caplib: writing $tmp/l.eth failed: File too large; 5 records kept"
run 0 "" 'caplib info "$tmp/l.eth"' "grep -qx 'records: 5' out"

passed "capture tests passed"
