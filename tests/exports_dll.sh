#!/bin/sh
# Checks the tables of caplib.dll (objdump -p): exactly the eighteen CAPLIB_
# functions exported; no import of the compiler's runtime DLLs, so that the
# DLL loads on a Windows system that has none of them; the load hook there.
set -eu
objdump=$1
dll=$2
want="CAPLIB_attrib2str
CAPLIB_decode
CAPLIB_decode_ppp
CAPLIB_input_close
CAPLIB_input_first
CAPLIB_input_next
CAPLIB_input_zekbin
CAPLIB_layer2str
CAPLIB_output_ascii
CAPLIB_output_close
CAPLIB_output_header
CAPLIB_output_paket
CAPLIB_output_zekbin
CAPLIB_output_zekbin_append
CAPLIB_output_zekbin_filepointer
CAPLIB_process_data
CAPLIB_string_hexdump
CAPLIB_timeval2str"
dump=$("$objdump" -p "$dll")
got=$(printf '%s\n' "$dump" |
  awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^[[:space:]]*$/ {on = 0} on {print $NF}' | sort)
if [ "$got" != "$want" ]; then
  echo "exported names differ:"
  printf '%s\n' "$want" >"${TMPDIR:-/tmp}/caplib-dll-want.$$"
  printf '%s\n' "$got" | diff "${TMPDIR:-/tmp}/caplib-dll-want.$$" - || true
  rm -f "${TMPDIR:-/tmp}/caplib-dll-want.$$"
  exit 1
fi
runtime=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | grep -i -E '^lib(stdc\+\+|gcc|winpthread)' || true)
if [ -n "$runtime" ]; then
  echo "caplib.dll needs the compiler's runtime DLLs: $runtime"
  exit 1
fi
# The load hook turns off the per-thread notifications.
printf '%s\n' "$dump" | grep -q '[[:space:]]DisableThreadLibraryCalls$' || {
  echo "caplib.dll does not call DisableThreadLibraryCalls: its load hook is missing"
  exit 1
}
echo "18 CAPLIB_ functions exported, nothing else; imports: $(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
