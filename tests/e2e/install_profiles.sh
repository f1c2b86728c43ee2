#!/usr/bin/env bash
# The install profiles of scripts/install-deps: the demo's stays small and 64-bit
# only (a bare machine gets no foreign architecture for it), the full list
# still holds what make check runs (Node.js and npm for the test peers too),
# every profile brings the headers the module compiles in, and every profile
# the Makefile installs is one the script knows.
# Installs nothing. Usage: install_profiles.sh [BUILD_DIR]
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
deps=$root/scripts/install-deps
passed=0
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }

all=$("$deps" --print) || fail "install-deps --print failed"
demo=$("$deps" --print demo) || fail "install-deps --print demo failed"
for p in wine32:i386 wine64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix clang valgrind \
         ngircd qstat locales libgtest-dev nodejs npm; do
  if grep -qx -- "$p" <<<"$all"; then pass; else fail "the full list lacks $p"; fi
done
for p in $demo; do
  case $p in
    *:i386 | wine* | *mingw* | clang* | valgrind | libgtest-dev | nodejs | npm) fail "the demo profile installs $p" ;;
    *) pass ;;
  esac
  if grep -qx -- "$p" <<<"$all"; then pass; else fail "the full list lacks the demo's $p"; fi
done
# Every profile builds the module, which compiles nlohmann/json's headers in.
for name in demo native windows fuzz bench; do
  if "$deps" --print "$name" | grep -qx nlohmann-json3-dev; then pass
  else fail "the $name profile lacks nlohmann-json3-dev"; fi
done
for name in $(sed -n 's/^PROFILES *= *//p' "$root/Makefile") \
            $(grep -o 'deps-[a-z]\+' "$root/Makefile" | sed 's/^deps-//' | sort -u); do
  if "$deps" --print "$name" >/dev/null 2>&1; then pass; else fail "install-deps knows no profile $name (Makefile)"; fi
done
if "$deps" --print no-such-profile >/dev/null 2>&1; then fail "an unknown profile was taken"; else pass; fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
