#!/usr/bin/env bash
# caplib capture: its usage errors, then live captures on the loopback
# interface of UDP datagrams sent to 127.0.0.1 (nothing else is ever a
# target): records and payloads, the trace on standard output, a complete
# file after SIGINT, flushing as records come, the ring, a failed write.
# Without capture permission (root or CAP_NET_RAW) the live part is
# skipped with exit status 77, never passed.
set -u
tool=$1
tmp=$(mktemp -d)
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; rm -rf "$tmp"' EXIT
export TZ=UTC
. "$(dirname "$0")/cli_lib.sh"

while IFS='|' read -r args message; do
  read -r -a argv <<<"$args"
  check "usage: $args" 2 "$tool" capture "${argv[@]}"
  expect_err "usage: $args" "caplib: $message
(see caplib capture --help)"
done <<'EOF'
-w a.eth|capture needs -i INTERFACE
-i lo --append-limit 9|--append-limit needs -w OUT.eth
-i lo -w a.eth -C 1000|-C and -W go together
-i lo -w a.eth -C 1000 -W 2 --append-limit 9|a ring (-C) continues its file by its own size, without --append-limit
-i lo -w a.eth -x|-x is for the trace, without -w
-i lo -w a.eth -C 1000 -W 0|-W takes a file count from 1 to 1000, not '0'
EOF
check extension 1 "$tool" capture -i lo -w "$tmp/a.pcap"
expect_err extension "caplib: $tmp/a.pcap: capture files must have the extension .eth"

capeff=$(awk '/^CapEff:/ {print $2}' /proc/self/status)
if (((0x$capeff >> 13 & 1) == 0)); then
  [ "$failures" = 0 ] || exit 1
  echo "SKIP live capture: it needs root or CAP_NET_RAW"
  exit 77
fi

port=$((40000 + RANDOM % 20000))
ready="caplib: capturing on lo, link type 1 (EN10MB)"

# start NAME ARGS...: a capture in the background, once it listens.
start() {
  local name=$1
  shift
  timeout 30 "$tool" capture -i lo "$@" >"$tmp/$name.out" 2>"$tmp/$name.err" &
  pid=$!
  pids="$pids $pid"
  for _ in $(seq 100); do
    [ "$(head -1 "$tmp/$name.err" 2>/dev/null)" = "$ready" ] && return
    sleep 0.1
  done
  fail "$name: not capturing: $(cat "$tmp/$name.err")"
}
send() {  # port, then one datagram per text
  local to=$1
  shift
  for text; do printf '%s' "$text" >"/dev/udp/127.0.0.1/$to"; done
}
# The end of a capture: its exit status, and its standard error but the
# counts the kernel keeps of both copies of a looped-back frame.
finish() {  # name, expected exit status
  wait "$pid"
  local got=$?
  [ "$got" = "$2" ] || fail "$1: exit $got, expected $2"
  sed 's/, [0-9]* received by filter, 0 dropped by kernel$/, N received by filter, 0 dropped by kernel/' \
    "$tmp/$1.err" >"$tmp/err"
}
# Headers of a trace without their time: "1. lo Ethernet <<< 50/50 Normal".
untimed() { sed 's/^\([0-9]*\. \)[0-9.]* [0-9:.]* /\1/' "$@"; }
payloads() { "$tool" trace -x "$1" | grep -o 'cap-[0-9]*' | tr '\n' ' '; }

# Five records of the port, and neither the datagram to the port beside
# it nor the sixth; their payloads in order.
start counted -w "$tmp/c.eth" -c 5 udp port $port
counted=$pid
start traced -c 5 -x udp port $port
send $((port + 1)) other
send $port cap-1 cap-2 cap-3 cap-4 cap-5 cap-6
finish traced 0
expect_err traced "$ready
caplib: 5 records captured, N received by filter, 0 dropped by kernel"
pid=$counted
finish counted 0
[ "$(payloads "$tmp/c.eth")" = "cap-1 cap-2 cap-3 cap-4 cap-5 " ] || fail "payloads: $(payloads "$tmp/c.eth")"
"$tool" trace "$tmp/c.eth" | grep '^[0-9]' | untimed >"$tmp/out"
expect_out headers "$(for n in 1 2 3 4 5; do echo "$n. lo Ethernet <<< 47/47 Normal"; done)"
# Standard output had what trace prints of the same frames, but for the
# time stamps, which each capture takes on its own.
"$tool" trace -x "$tmp/c.eth" | untimed >"$tmp/want"
untimed "$tmp/traced.out" | cmp -s - "$tmp/want" || fail "the trace on standard output differs from trace of the file"

# Flushed as records come: the file holds them while the capture runs;
# SIGTERM ends it normally. Buffered, they wait; SIGINT writes them.
start flushed -w "$tmp/f.eth" udp port $port
flushed=$pid
start buffered -w "$tmp/b.eth" --buffered udp port $port
send $port cap-1 cap-2
for _ in $(seq 50); do
  [ "$("$tool" info "$tmp/f.eth" 2>/dev/null | sed -n 's/^records: //p')" = 2 ] && break
  sleep 0.1
done
[ "$(payloads "$tmp/f.eth")" = "cap-1 cap-2 " ] || fail "not flushed while capturing: $(payloads "$tmp/f.eth")"
[ "$(stat -c %s "$tmp/b.eth")" = 64 ] || fail "buffered: $(stat -c %s "$tmp/b.eth") bytes written while capturing"
buffered=$pid
kill -TERM $flushed
pid=$flushed
finish flushed 0
expect_err sigterm "$ready
caplib: 2 records captured, N received by filter, 0 dropped by kernel"
pid=$buffered
kill -INT $pid
finish buffered 0
expect_err sigint "$ready
caplib: 2 records captured, N received by filter, 0 dropped by kernel"
check complete 0 "$tool" info "$tmp/b.eth"
[ "$(payloads "$tmp/b.eth")" = "cap-1 cap-2 " ] || fail "after SIGINT: $(payloads "$tmp/b.eth")"

# A ring of three files of at most 400 bytes: 64 bytes of file header and
# two records of 160 bytes each (48 header, 16 name, 96 frame). The two
# oldest records are dropped; the next capture continues r.eth.
pad=$(printf 'x%.0s' {1..34})
start ring -w "$tmp/r.eth" -C 400 -W 3 -c 7 udp port $port
send $port cap-{1..7}$pad
finish ring 0
start ring2 -w "$tmp/r.eth" -C 400 -W 3 -c 1 udp port $port
send $port cap-8$pad
finish ring2 0
got=""
for f in r2 r1 r; do got="$got$f: $(payloads "$tmp/$f.eth")"; done
[ "$got" = "r2: cap-3 cap-4 r1: cap-5 cap-6 r: cap-7 cap-8 " ] || fail "ring: $got"
[ "$(stat -c %s "$tmp/r1.eth")" = 384 ] || fail "ring: r1.eth has $(stat -c %s "$tmp/r1.eth") bytes"
[ -e "$tmp/r3.eth" ] && fail "ring: r3.eth written"

# A file size limit of 1024 bytes fails the sixth record of 176 bytes
# part-way: the file is cut back to the five before it (944 bytes), and
# the capture ends with exit 1.
pad=$(printf 'x%.0s' {1..53})
(ulimit -f 1 && exec "$tool" capture -i lo -w "$tmp/l.eth" -c 9 udp port $port) >"$tmp/limit.out" 2>"$tmp/limit.err" &
pid=$!
for _ in $(seq 100); do [ -s "$tmp/limit.err" ] && break; sleep 0.1; done
send $port cap-{1..9}$pad
finish limit 1
expect_err limit "$ready
caplib: writing $tmp/l.eth failed: File too large; 5 records kept"
check limited 0 "$tool" info "$tmp/l.eth"
grep -q '^records: 5$' "$tmp/out" || fail "limited: $(cat "$tmp/out")"

check no-device 1 "$tool" capture -i nosuch0
expect_err no-device "caplib: nosuch0: No such device exists"
check bad-filter 2 "$tool" capture -i lo udp port 70000
expect_err bad-filter "caplib: the filter does not compile: illegal port number 70000 > 65535
(see caplib capture --help)"

[ "$failures" = 0 ] || exit 1
echo "capture tests passed"
