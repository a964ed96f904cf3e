#!/bin/sh
# Checks that the shared library exports exactly the eighteen CAPLIB_
# functions: a shared object by its dynamic symbols, caplib.dll by its
# export table (objdump -p, with the objdump given second). For the DLL
# also: no import of the compiler's runtime DLLs, so that it loads on a
# Windows system without them, and the load hook that turns off per-thread
# notifications.
set -eu
lib=$1
objdump=${2:-objdump}
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
case "$lib" in
  *.dll)
    dump=$("$objdump" -p "$lib")
    got=$(printf '%s\n' "$dump" |
      awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^[[:space:]]*$/ {on = 0} on {print $NF}' | sort)
    ;;
  *)
    got=$(nm -D --defined-only "$lib" | awk '{print $NF}' | grep -v '^_' | sed 's/@.*//' | sort -u)
    ;;
esac
if [ "$got" != "$want" ]; then
  echo "exported symbols differ:"
  printf '%s\n' "$want" >"${TMPDIR:-/tmp}/caplib-exports-want.$$"
  printf '%s\n' "$got" | diff "${TMPDIR:-/tmp}/caplib-exports-want.$$" - || true
  rm -f "${TMPDIR:-/tmp}/caplib-exports-want.$$"
  exit 1
fi
case "$lib" in
  *.dll)
    imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
    runtime=$(printf '%s\n' "$imports" | grep -i -E '^lib(stdc\+\+|gcc|winpthread)' || true)
    if [ -n "$runtime" ]; then
      echo "caplib.dll needs the compiler's runtime DLLs: $runtime"
      exit 1
    fi
    printf '%s\n' "$dump" | grep -q '[[:space:]]DisableThreadLibraryCalls$' || {
      echo "caplib.dll does not call DisableThreadLibraryCalls: its load hook is missing"
      exit 1
    }
    echo "18 CAPLIB_ functions exported, nothing else; imports: $(printf '%s' "$imports" | tr '\n' ' ')"
    ;;
  *)
    echo "18 CAPLIB_ functions exported, nothing else"
    ;;
esac
