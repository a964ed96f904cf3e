#!/bin/sh
# The shared library exports exactly the CAPLIB_ functions the header
# declares: a shared object by its dynamic symbols, caplib.dll by its export
# table (objdump -p). The DLL must also import none of the compiler's
# runtime DLLs and must call DisableThreadLibraryCalls in its load hook.
# Arguments: library, header, objdump.
set -eu
lib=$1
want=$(sed -n 's/^CAPLIB_API .*[ *]\(CAPLIB_[a-z0-9_]*\)(.*/\1/p' "$2" | sort)
[ "$(printf '%s\n' "$want" | wc -l)" = 18 ] || { echo "the header does not declare 18 functions"; exit 1; }
case "$lib" in
  *.dll)
    dump=$("${3:-objdump}" -p "$lib")
    got=$(printf '%s\n' "$dump" |
      awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^[[:space:]]*$/ {on = 0} on {print $NF}' | sort)
    runtime=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | grep -i -E '^lib(stdc\+\+|gcc|winpthread)' || true)
    [ -z "$runtime" ] || { echo "caplib.dll needs the compiler's runtime DLLs: $runtime"; exit 1; }
    printf '%s\n' "$dump" | grep -q '[[:space:]]DisableThreadLibraryCalls$' ||
      { echo "caplib.dll does not call DisableThreadLibraryCalls"; exit 1; }
    ;;
  *) got=$(nm -D --defined-only "$lib" | awk '{print $NF}' | grep -v '^_' | sed 's/@.*//' | sort -u) ;;
esac
[ "$got" = "$want" ] || { printf 'exported:\n%s\nthe header declares:\n%s\n' "$got" "$want"; exit 1; }
echo "18 CAPLIB_ functions exported, nothing else"
