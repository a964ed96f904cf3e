#!/usr/bin/env bash
# A few seconds of every libFuzzer target over its seed corpus. Builds
# nothing: without an up-to-date fuzz build (cmake --preset fuzz) it exits
# 77, which the test suite reports as skipped.
# usage: smoke.sh FUZZ_BUILD_DIR SOURCE_DIR TARGET...
set -u
build=$1 src=$2
shift 2
seconds=${CAPLIB_FUZZ_SMOKE_SECONDS:-3}

for t in "$@"; do
  bin=$build/fuzz/fuzz_$t
  if [ ! -x "$bin" ]; then
    echo "no fuzz build in $build (cmake --preset fuzz && cmake --build --preset fuzz): skipped"
    exit 77
  fi
  # The target's own fuzz headers, and the ones those include; a tool
  # header brings its source along.
  own=("$src/fuzz/$t.cpp")
  for level in 1 2; do
    for h in $(sed -n 's,^#include "\(\(fuzz\|tools\)/[a-z_]*\.h\)",\1,p' "${own[@]}" | sort -u); do
      [[ " ${own[*]} " == *" $src/$h "* ]] || own+=("$src/$h")
      [[ $h == tools/* && " ${own[*]} " != *" $src/${h%.h}.cpp "* ]] && own+=("$src/${h%.h}.cpp")
    done
  done
  newer=$(find "$src/capture" "$src/decode" "$src/protocols" "$src/include" "${own[@]}" \
    \( -name '*.cpp' -o -name '*.h' \) -newer "$bin" -print -quit)
  if [ -n "$newer" ]; then
    echo "fuzz build is older than $newer (cmake --build --preset fuzz): skipped"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for t in "$@"; do
  mkdir -p "$work/$t"
  dict=()
  [ -f "$src/fuzz/dict/$t.dict" ] && dict=(-dict="$src/fuzz/dict/$t.dict")
  # New inputs go to the scratch directory; the committed seeds stay as they are.
  if "$build/fuzz/fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -max_len=16384 -malloc_limit_mb=256 \
      -print_final_stats=1 -artifact_prefix="$work/$t-" "$work/$t" "$src/fuzz/corpus/$t" \
      >"$work/$t.log" 2>&1; then
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$t.log")
    echo "fuzz_$t: ${execs:-?} runs in ${seconds}s (${rate:-?}/s), no finding"
  else
    echo "fuzz_$t: FINDING"
    tail -n 60 "$work/$t.log"
    for a in "$work/$t"-*; do [ -f "$a" ] && echo "input: $(xxd -p "$a" | tr -d '\n' | head -c 2000)"; done
    failed=1
  fi
done
exit $failed
