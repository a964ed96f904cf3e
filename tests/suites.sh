#!/bin/sh
# Every GoogleTest suite of the binary must have its own CTest test; a
# suite the build did not find would otherwise never run.
set -eu
bin=$1
shift
registered=" $* "
missing=""
for suite in $("$bin" --gtest_list_tests | grep -v '^ ' | grep '\.$' | sed 's/\.$//; s|^.*/||; s|/.*$||'); do
  case "$registered" in *" $suite "*) ;; *) missing="$missing $suite" ;; esac
done
if [ -n "$missing" ]; then echo "suites without a CTest test:$missing"; exit 1; fi
echo "every suite has its CTest test"
