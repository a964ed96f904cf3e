#!/bin/sh
# Checks that the shared library exports exactly the eighteen CAPLIB_ functions.
set -eu
lib=$1
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
got=$(nm -D --defined-only "$lib" | awk '{print $NF}' | grep -v '^_' | sed 's/@.*//' | sort -u)
if [ "$got" != "$want" ]; then
  echo "exported symbols differ:"
  printf '%s\n' "$want" > /tmp/caplib-exports-want.$$
  printf '%s\n' "$got" | diff /tmp/caplib-exports-want.$$ - || true
  rm -f /tmp/caplib-exports-want.$$
  exit 1
fi
echo "18 CAPLIB_ functions exported, nothing else"
