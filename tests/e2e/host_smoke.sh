#!/usr/bin/env bash
# End-to-end smoke test of the console host with the real module: start in
# both modes, the log-in and join lines, a refused start, a bad input line,
# and the load errors. Usage: host_smoke.sh BUILD_DIR
# Builds nothing: BUILD_DIR must hold morvane-host and Morvane.so.
set -u

build=${1:?usage: host_smoke.sh BUILD_DIR}
host="$build/morvane-host"
module_file="$build/Morvane.so"
for f in "$host" "$module_file"; do
  [ -e "$f" ] || { echo "host_smoke: missing $f (build the targets first)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }

# A folder with its own copy of the module, so that a Morvane.ini of the build
# folder cannot change what the module does; $2, when given, is its
# Morvane.ini in UTF-8, stored as UTF-16LE as the module reads it.
make_module_dir() {
  local dir="$work/$1"
  mkdir -p "$dir"
  cp "$module_file" "$dir/Morvane.so"
  if [ $# -ge 2 ]; then
    printf '\xFF\xFE' > "$dir/Morvane.ini"
    printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE >> "$dir/Morvane.ini"
  fi
  echo "$dir"
}

# run NAME ARGS... : runs the host with the script $work/NAME.txt; the
# transcript goes to $work/NAME.out, standard error to $work/NAME.err and the
# exit status to $work/NAME.rc.
run() {
  local name=$1
  shift
  timeout 60 "$host" --script "$work/$name.txt" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.rc"
}

expect_rc() {
  local got
  got=$(cat "$work/$1.rc")
  if [ "$got" = "$2" ]; then pass; else fail "$1: exit status $got, expected $2"; fi
}

# has NAME LINE: the transcript holds exactly this line.
has() {
  if grep -qxF -- "$2" "$work/$1.out"; then pass; else
    fail "$1: no line \"$2\""
    sed 's/^/    /' "$work/$1.out"
  fi
}

lacks() {
  if grep -qxF -- "$2" "$work/$1.out"; then fail "$1: unexpected line \"$2\""; else pass; fi
}

# before NAME A B: line A comes before line B.
before() {
  local a b
  a=$(grep -nxF -- "$2" "$work/$1.out" | head -1 | cut -d: -f1)
  b=$(grep -nxF -- "$3" "$work/$1.out" | head -1 | cut -d: -f1)
  if [ -n "$a" ] && [ -n "$b" ] && [ "$a" -lt "$b" ]; then pass; else
    fail "$1: \"$2\" does not come before \"$3\""
  fi
}

err_has() {
  if grep -qF -- "$2" "$work/$1.err"; then pass; else
    fail "$1: standard error lacks \"$2\""
    sed 's/^/    /' "$work/$1.err"
  fi
}

# --- Direct mode: the host's user is online, so the plug-in joins at start.
plain=$(make_module_dir plain)
cat >"$work/direct.txt" <<'SCRIPT'
// A comment and a blank line are ignored.

#main alice: hello
this line cannot be read
@bob(192.0.2.7): hi
!offline
!online
SCRIPT
run direct --module "$plain/Morvane.so"
expect_rc direct 0
has direct "-- plug-in: Morvane"
has direct "-- mode: direct, host user host (online)"
before direct "* host joins #main" "-- started"
has direct "> #main alice: hello"
has direct "> @bob(192.0.2.7): hi"
lacks direct "> this line cannot be read"
err_has direct "line 4: cannot read \"this line cannot be read\""
before direct "> !online" "-- stopped"
[ "$(grep -cxF '* host joins #main' "$work/direct.out")" = 2 ] && pass ||
  fail "direct: the plug-in should join #main at start and again after !online"
has direct "-- stopped"

# --- Direct mode, offline at start: no join until the user connects.
cat >"$work/offline.txt" <<'SCRIPT'
!online
SCRIPT
run offline --module "$plain/Morvane.so" --offline --user Operator
expect_rc offline 0
before offline "-- started" "> !online"
before offline "> !online" "* Operator joins #main"
[ "$(grep -c 'joins' "$work/offline.out")" = 1 ] && pass || fail "offline: joined before !online"

# --- Virtual mode: log-in, the host's online report, joins and leaves.
cat >"$work/virtual.txt" <<'SCRIPT'
#main alice: hello
!offline
!online bob
SCRIPT
run virtual --module "$plain/Morvane.so" --mode virtual --vu-channel old --vu-channel main
expect_rc virtual 0
has virtual "-- mode: virtual, virtual user listed in #old, #main"
before virtual "* Morvane logs in (IP N/A)" "-- started"
before virtual "-- started" "-- host reports Morvane online"
before virtual "-- host reports Morvane online" "* Morvane joins #main"
before virtual "* Morvane joins #main" "* Morvane leaves #old"
lacks virtual "* Morvane leaves #main"
has virtual "> !online bob"

# --- Virtual mode with settings: another name, two channels.
named=$(make_module_dir named $'[VirtUser]\r\nName=Scout\r\nIP=192.0.2.1\r\n[Main]\r\nChannels=main|lobby\r\n')
printf '' >"$work/named.txt"
run named --module "$named/Morvane.so" --mode virtual --vu-channel lobby --vu-channel games
expect_rc named 0
has named "* Scout logs in (IP 192.0.2.1)"
before named "* Scout joins #main" "* Scout joins #lobby"
has named "* Scout leaves #games"
lacks named "* Scout leaves #lobby"

# --- A refused start: virtual mode with an empty password.
refused=$(make_module_dir refused $'[VirtUser]\r\nPassword=\r\n')
printf '#main alice: hello\n' >"$work/refused.txt"
run refused --module "$refused/Morvane.so" --mode virtual
expect_rc refused 1
has refused "-- refused"
lacks refused "* Morvane logs in (IP N/A)"
lacks refused "> #main alice: hello"
has refused "-- stopped"

# --- Load errors name the file, and the export when one is missing.
printf '' >"$work/missing.txt"
run missing --module "$work/nowhere/Morvane.so"
expect_rc missing 2
err_has missing "$work/nowhere/Morvane.so"
# A library that exists but exports none of the six: the maths library the
# host itself uses (one without start-up code, so a leak checker stays quiet
# when it is unloaded again).
runtime=$(ldd "$host" 2>/dev/null | grep -o '/[^ ]*/libm\.so[^ ]*' | head -1)
if [ -n "$runtime" ]; then
  cp "$runtime" "$work/NotMorvane.so"
  printf '' >"$work/noexport.txt"
  run noexport --module "$work/NotMorvane.so"
  expect_rc noexport 2
  err_has noexport "\"$work/NotMorvane.so\" does not export PluginStart"
fi
printf '' >"$work/badopt.txt"
run badopt --mode sideways
expect_rc badopt 2
err_has badopt "--mode takes direct or virtual"

echo "host_smoke: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
