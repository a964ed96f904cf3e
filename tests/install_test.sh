#!/usr/bin/env bash
# Installs into a temporary prefix and builds the C example against the
# installed package twice: with find_package(caplib) and with pkg-config.
# Arguments: build directory, source directory, C compiler, library
# directory name, flags the build used (the sanitizers) or "".
. "$(dirname "$0")/tools/lib.sh"
build=$1
cc=$3
libdir=$4
flags=$5
prefix=$tmp/prefix
loads_installed() {  # program: it loads the installed library
  local lib
  lib=$(ldd "$1" | awk '/libcaplib\.so/ {print $3}')
  [ -n "$lib" ] && [ "$(realpath "$lib")" = "$(realpath "$prefix/$libdir/libcaplib.so.1")" ]
}

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; fail "cmake --install"; }

for f in include/caplib.h "$libdir/libcaplib.so.1.0.0" "$libdir/cmake/caplib/caplibConfig.cmake" \
         "$libdir/cmake/caplib/caplibConfigVersion.cmake" "$libdir/pkgconfig/caplib.pc" bin/caplib \
         share/man/man1/caplib.1; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$prefix/$libdir/libcaplib.so")" = libcaplib.so.1 ] || fail "libcaplib.so does not point at libcaplib.so.1"
[ "$(readlink "$prefix/$libdir/libcaplib.so.1")" = libcaplib.so.1.0.0 ] || fail "libcaplib.so.1 does not point at libcaplib.so.1.0.0"
objdump -p "$prefix/$libdir/libcaplib.so.1.0.0" | grep -q 'SONAME *libcaplib.so.1$' || fail "SONAME is not libcaplib.so.1"

# The installed tool finds the installed library, not the build tree's.
"$prefix/bin/caplib" --version >"$tmp/out" 2>&1 || fail "installed tool does not run: $(cat "$tmp/out")"
loads_installed "$prefix/bin/caplib" || fail "installed tool does not load the installed library"
MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/caplib.1" >/dev/null 2>"$tmp/man" || fail "man page does not render"
[ -s "$tmp/man" ] && { fail "man page warnings"; cat "$tmp/man"; }

reference=$("$build/examples/trace_example" "$src/examples/sample.eth")

# find_package(caplib) and the target caplib::caplib.
mkdir "$tmp/cmake"
cat >"$tmp/cmake/CMakeLists.txt" <<END
cmake_minimum_required(VERSION 3.25)
project(consumer C)
find_package(caplib 1.0 REQUIRED)
add_executable(trace_example "$src/examples/trace_example.c")
target_link_libraries(trace_example PRIVATE caplib::caplib)
END
if cmake -S "$tmp/cmake" -B "$tmp/cmake/build" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" \
     -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$tmp/cmake.log" 2>&1 &&
   cmake --build "$tmp/cmake/build" >>"$tmp/cmake.log" 2>&1; then
  got=$("$tmp/cmake/build/trace_example" "$src/examples/sample.eth") || fail "find_package build does not run"
  [ "$got" = "$reference" ] || fail "find_package build prints another trace"
  loads_installed "$tmp/cmake/build/trace_example" || fail "find_package build does not load the installed library"
else
  cat "$tmp/cmake.log"; fail "find_package build"
fi

# pkg-config.
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
[ "$(pkg-config --modversion caplib)" = 1.0.0 ] || fail "pkg-config version"
# shellcheck disable=SC2046,SC2086
if "$cc" $flags -o "$tmp/pc_example" "$src/examples/trace_example.c" $(pkg-config --cflags --libs caplib) \
     -Wl,-rpath,"$prefix/$libdir" 2>"$tmp/pc.log"; then
  got=$("$tmp/pc_example" "$src/examples/sample.eth") || fail "pkg-config build does not run"
  [ "$got" = "$reference" ] || fail "pkg-config build prints another trace"
else
  cat "$tmp/pc.log"; fail "pkg-config build"
fi

passed "installed package builds both ways"
