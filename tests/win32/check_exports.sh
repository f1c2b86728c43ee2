#!/usr/bin/env bash
# Checks the built Morvane.dll the way a host sees it: exactly the six exports,
# by their undecorated names and fixed ordinals, and imports from system DLLs
# only. A DLL that needs the mingw runtime DLLs (winpthread, libstdc++,
# libgcc) loads on the developer's machine, where they lie beside the
# compiler, and fails on every user's.
#
# usage: check_exports.sh MORVANE_DLL OBJDUMP
set -uo pipefail
dll=${1:?usage: check_exports.sh MORVANE_DLL OBJDUMP}
objdump=${2:?usage: check_exports.sh MORVANE_DLL OBJDUMP}

# objdump translates its headings; the parsing below reads the English ones.
export LC_ALL=C LANGUAGE=C

if [ ! -f "$dll" ]; then
  echo "check_exports: $dll does not exist (build the Morvane target first)" >&2
  exit 1
fi
if ! dump=$("$objdump" -p "$dll"); then
  echo "check_exports: $objdump -p $dll failed" >&2
  exit 1
fi

failures=0
fail() {
  echo "check_exports: $*" >&2
  failures=$((failures + 1))
}

# --- Exports ---------------------------------------------------------------
# objdump lists the names in "[Ordinal/Name Pointer] Table" as
#   [   5] PluginStart            (index into the address table)
# or, in some binutils versions,
#   [   5] +base[   6] PluginStart
# The ordinal is the index plus the table's "Ordinal Base".
base=$(printf '%s\n' "$dump" | awk '/^Ordinal Base/ { print $3; exit }')
if [ -z "$base" ]; then
  fail "$dll has no export table"
  base=0
fi
actual=$(printf '%s\n' "$dump" | awk -v base="$base" '
  /^\[Ordinal\/Name Pointer\] Table/ { in_table = 1; next }
  in_table && /^[[:space:]]*$/ { exit }
  in_table {
    line = $0
    if (match(line, /\+base\[ *[0-9]+\]/)) {
      part = substr(line, RSTART, RLENGTH); gsub(/[^0-9]/, "", part); ordinal = part + 0
      name = substr(line, RSTART + RLENGTH)
    } else if (match(line, /\[ *[0-9]+\]/)) {
      part = substr(line, RSTART, RLENGTH); gsub(/[^0-9]/, "", part); ordinal = part + base
      name = substr(line, RSTART + RLENGTH)
    } else {
      next
    }
    gsub(/^[[:space:]]+|[[:space:]]+$/, "", name)
    print name " @" ordinal
  }' | sort)
expected=$(printf '%s\n' \
  "PluginShowAbout @1" "PluginShowOptions @2" "PluginProcess @3" \
  "PluginGetData @4" "PluginStop @5" "PluginStart @6" | sort)
if [ "$actual" != "$expected" ]; then
  fail "exports differ from the six named exports with their ordinals"
  { echo "expected:"; printf '%s\n' "$expected" | sed 's/^/  /'
    echo "actual:"; printf '%s\n' "$actual" | sed 's/^/  /'; } >&2
fi
# Every exported function must also sit in the address table under its ordinal
# (a name pointing past the table would be a broken export).
count=$(printf '%s\n' "$dump" | awk '/^[[:space:]]*Export Address Table[[:space:]]+[0-9a-fA-F]+$/ { print $NF; exit }')
if [ -z "$count" ] || [ $((16#$count)) -ne 6 ]; then
  fail "the export address table holds ${count:-no} entries, not 6"
fi

# --- Imports ---------------------------------------------------------------
# The system DLLs a statically linked mingw module may need. Anything else is
# a runtime DLL that users do not have, or a new dependency to look at.
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ { print $3 }')
if [ -z "$imports" ]; then
  fail "$dll imports nothing (objdump output not understood?)"
fi
while IFS= read -r name; do
  [ -n "$name" ] || continue
  lower=$(printf '%s' "$name" | tr '[:upper:]' '[:lower:]')
  case "$lower" in
    kernel32.dll | user32.dll | shell32.dll | ws2_32.dll | dnsapi.dll | msvcrt.dll | api-ms-win-*.dll) ;;
    libwinpthread*.dll | libstdc++*.dll | libgcc_s*.dll)
      fail "imports the mingw runtime DLL $name: link with -static" ;;
    *) fail "imports $name, which is not one of the allowed system DLLs" ;;
  esac
done <<< "$imports"

if [ "$failures" -ne 0 ]; then
  echo "check_exports: $failures problem(s) in $dll" >&2
  exit 1
fi
echo "check_exports: $dll exports the six functions by name and ordinal and imports only:" $imports
