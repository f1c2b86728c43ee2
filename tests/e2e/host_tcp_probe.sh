#!/usr/bin/env bash
# End-to-end test of a whole request: the console host asks the module for
# server scans against morvane-gamesim on 127.0.0.1 and reads the replies in
# the transcript: an open TCP port is online; a refused TCP port and a UDP
# server that never answers are offline, each after the request's time-out;
# with few descriptors left, every address still has its line.
# Usage: host_tcp_probe.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin host_tcp_probe "${1:?usage: host_tcp_probe.sh BUILD_DIR}" morvane-host morvane-gamesim Morvane.so

mkdir "$work/module"
cp "$module_file" "$work/module/Morvane.so"

# The simulator runs until its standard input closes; it reports its ports
# first, then "ready".
coproc SIM { exec "$gamesim" --tcp 0 --silent-udp 0; }
sim_pid=$SIM_PID
read -r -t 10 tcp_line <&"${SIM[0]}"
read -r -t 10 udp_line <&"${SIM[0]}"
read -r -t 10 ready <&"${SIM[0]}"
if [ "$ready" != ready ]; then
  echo "host_tcp_probe: the simulator did not start: $tcp_line / $udp_line / $ready"
  exit 1
fi
tcp=${tcp_line#tcp 127.0.0.1:}
udp=${udp_line#silent-udp 127.0.0.1:}

has() {
  if grep -qxF -- "$2" "$work/$1.out"; then pass; else
    fail "$1: no line \"$2\""
    sed 's/^/    /' "$work/$1.out"
  fi
}

# Three requests, served one after another by the worker: the open port at
# once, then the silent UDP server and the refused TCP port after the default
# time-out of one second each.
cat >"$work/direct.txt" <<SCRIPT
#main alice: /gs tcp 127.0.0.1:$tcp
@alice: /gs hl 127.0.0.1:$udp
#main alice: /gs tcp 127.0.0.1:$udp
!wait 5
SCRIPT
timeout 60 "$host" --module "$work/module/Morvane.so" --script "$work/direct.txt" \
  >"$work/direct.out" 2>"$work/direct.err"
[ $? = 0 ] && pass || fail "direct: exit status not 0"
has direct "  | 127.0.0.1:$tcp  -  сервер онлайн"
has direct "[@alice] <host> 127.0.0.1:$udp  -  сервер офлайн"
has direct "  | 127.0.0.1:$udp  -  сервер офлайн"
[ "$(grep -cxF '[#main] <host>' "$work/direct.out")" = 2 ] && pass ||
  fail "direct: expected two channel replies, each opening with its empty title line"

cat >"$work/virtual.txt" <<SCRIPT
@bob: /gs tcp 127.0.0.1:$tcp
!wait 3
SCRIPT
timeout 60 "$host" --module "$work/module/Morvane.so" --mode virtual \
  --script "$work/virtual.txt" >"$work/virtual.out" 2>"$work/virtual.err"
[ $? = 0 ] && pass || fail "virtual: exit status not 0"
has virtual "[@bob] <Morvane> 127.0.0.1:$tcp  -  сервер онлайн"

# Under a low descriptor limit an item that could not open its socket wrote
# nothing, so servers vanished from the reply: "/gs tcp" with 32 addresses
# answered 19 lines. Each such item now tries again as others end, and every
# address has its line.
addresses=127.0.0.1:$tcp
for _ in $(seq 2 32); do addresses="$addresses, 127.0.0.1:$tcp"; done
printf '#main alice: /gs tcp %s\n!wait 5\n' "$addresses" >"$work/few.txt"
(ulimit -n 8 && timeout 60 "$host" --module "$work/module/Morvane.so" --script "$work/few.txt") \
  >"$work/few.out" 2>"$work/few.err"
[ $? = 0 ] && pass || fail "few descriptors: exit status not 0"
# Each item that got no socket waits for one that another item frees, so all
# are online here; the line of one whose second try still failed (another
# thread of the host took the descriptor first) is offline.
lines=$(grep -cxE "  \| 127\.0\.0\.1:$tcp  -  сервер (онлайн|офлайн)" "$work/few.out")
[ "$lines" = 32 ] && pass || fail "few descriptors: $lines lines for 32 addresses"

exec {SIM[1]}>&-
wait "$sim_pid" 2>/dev/null
sim_pid=

echo "host_tcp_probe: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
