#!/usr/bin/env bash
# morvane-irc end to end, on a real IRC server (ngircd) on 127.0.0.1 with the
# module and the simulators: a scripted client asks in a channel and in
# private, gets a Cyrillic server name, a reply longer than one IRC line and
# a 60-player list, and checks every line it receives (UTF-8, at most 512
# bytes, paced, none missing). The bridge's nick is taken when it connects
# (it takes another, and its own once it is free); the server is killed and
# started again (the bridge comes back and answers); the bridge stops on
# SIGTERM; in virtual-user mode a second nick appears, joins and answers;
# and the bridge answers over TLS, trusting a CA file or a pinned
# certificate.
# Usage: irc.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin irc "${1:?usage: irc.sh BUILD_DIR}" morvane-irc morvane-gamesim Morvane.so
client="$(cd "$(dirname "$0")" && pwd)/irc/irc_client.py"
bridge="$build/morvane-irc"
unset MORVANE_CODEPAGE

source "$(dirname "$0")/irc/ngircd.bash"

# The bridge with its log; stop_bridge sends SIGTERM and checks it ends, 0.
start_bridge() {
  "$bridge" --module "$work/module/Morvane.so" "$@" 2>>"$work/bridge.log" &
  bridge_pid=$!
}
stop_bridge() {
  kill -TERM "$bridge_pid"
  for _ in $(seq 50); do kill -0 "$bridge_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$bridge_pid" 2>/dev/null; then fail "$1: the bridge did not stop on SIGTERM"; return; fi
  wait "$bridge_pid"
  local status=$?
  bridge_pid=
  [ $status = 0 ] && pass || fail "$1: the bridge's exit status is $status, not 0"
}

coproc SIM { exec "$gamesim" --source 0 --tcp 0 --players 60 --quake3 0 --for 240; }
sim_pid=$SIM_PID
declare -A addr
for kind in source tcp quake3; do
  read -r -t 10 name address <&"${SIM[0]}" || { echo "irc: the simulator did not start"; exit 1; }
  addr[$name]=$address
done

# A title of 300 Cyrillic letters (600 bytes) cannot go as one IRC line.
long=$(printf 'ж%.0s' $(seq 300))
mkdir "$work/module"
cp "$module_file" "$work/module/Morvane.so"
{ printf '\xFF\xFE'; printf '%s' "[Main]
Channels=main|games
Format=[b]%name%[/b] - %map% - %pl%/%plmax% (%addr%)
PlTitle=[b]%addr% (%pl%):[/b]:;
PlFormat=%plname% %plscore% %pltime%
[VirtUser]
Name=MorvaneBot
IP=N/A
Password=secret
[Event_0]
Type=0
Msg=!long
Game=tcp
Addr=${addr[tcp]}
Title=$long:;
Format=%addr% open
" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$work/module/Morvane.ini"

has() {  # has FILE LINE: the transcript holds the line exactly
  if grep -qxF -- "$2" <(cut -d' ' -f2- "$1"); then pass; else fail "no line \"$2\" in $(basename "$1")"; fi
}
B=$'\x02'

start_ircd

# 1. Direct mode. The client holds the nick "morvane" before the bridge
# comes, so the bridge is "morvane_".
client_steps() {
  cat <<STEPS
connect alice $port
hold morvane
join #main
ready $work/direct.ready
await-member morvane_ #main 15
say #main !gs hl ${addr[source]}
expect morvane_ #main 1 10
say #main !long
expect morvane_ #main 3 10
say morvane_ !GS hl ${addr[source]}
expect morvane_ alice 1 10
say #main !gs codpl ${addr[quake3]}
expect morvane_ #main 61 60
STEPS
}
client_steps | timeout 120 python3 "$client" >"$work/direct.out" 2>&1 &
client_pid=$!
for _ in $(seq 100); do [ -e "$work/direct.ready" ] && break; sleep 0.1; done
start_bridge --server "127.0.0.1:$port" --nick morvane
wait "$client_pid" && pass || fail "direct: the client's checks failed"

has "$work/direct.out" "[#main] <morvane_> ${B}Морвейн Арена${B} - de_dust2 - 4/24 (${addr[source]})"
has "$work/direct.out" "[alice] <morvane_> ${B}Морвейн Арена${B} - de_dust2 - 4/24 (${addr[source]})"
has "$work/direct.out" "[#main] <morvane_> ${addr[tcp]} open"
joined=$(grep -F '<morvane_> ж' "$work/direct.out" | sed 's/.*<morvane_> //' | tr -d '\n')
[ "$joined" = "$long" ] && pass || fail "the long title did not arrive whole in pieces"
has "$work/direct.out" "[#main] <morvane_> ${B}${addr[quake3]} (60):${B}"
has "$work/direct.out" "[#main] <morvane_> Борис -2 120"
players=$(grep -cE '<morvane_> (Ann|Борис|Sarge|Player_[0-9]+) ' "$work/direct.out")
[ "$players" = 60 ] && pass || fail "$players player lines, not 60"
# Paced: after the burst of 4 no two lines closer than 0.6 s (700 ms less
# the jitter of the loopback), so 61 lines take at least 36 s.
read -r took gap < <(sed -n 's/^-- 61 lines in \([0-9.]*\) s; smallest gap after the first 4: \([0-9.]*\) s$/\1 \2/p' "$work/direct.out")
if [ -n "${took:-}" ] && awk -v t="$took" -v g="$gap" 'BEGIN { exit !(g >= 0.6 && t >= 36 && t < 60) }'; then
  pass
else
  fail "the player list was not paced: ${took:-?} s, smallest gap ${gap:-?} s"
fi
grep -q "nick morvane is in use, trying morvane_" "$work/bridge.log" && pass || fail "no nick retry in the log"
grep -q "reconnecting" "$work/bridge.log" && fail "the bridge lost its connection in direct mode" || pass
# The client has quit, so "morvane" is free: the bridge, which asks ngircd
# (no MONITOR there) by ISON every 15 s, takes it back.
for _ in $(seq 250); do grep -q "host: has its nick morvane back" "$work/bridge.log" && break; sleep 0.1; done
grep -q "host: has its nick morvane back" "$work/bridge.log" && pass || fail "the bridge did not win its nick back"

# 2. The server dies and comes back on the same port: the bridge reconnects
# under its own nick (free now), joins again and answers.
{ kill -9 "$ircd_pid" && wait "$ircd_pid"; } 2>/dev/null
start_ircd
timeout 60 python3 "$client" >"$work/restart.out" 2>&1 <<STEPS
connect bob $port
join #main
await-member morvane #main 20
say #main !gs hl ${addr[source]}
expect morvane #main 1 10
STEPS
[ $? = 0 ] && pass || fail "restart: the client's checks failed"
has "$work/restart.out" "[#main] <morvane> ${B}Морвейн Арена${B} - de_dust2 - 4/24 (${addr[source]})"
grep -q "reconnecting in 1 s" "$work/bridge.log" && pass || fail "no reconnection in the log"
stop_bridge direct
grep -q "host >> QUIT :" "$work/bridge.log" && pass || fail "no QUIT in the log"

# 3. Virtual-user mode: the host's nick connects, and the plug-in's log-in
# brings its own nick, MorvaneBot, which joins and answers.
start_bridge --server "127.0.0.1:$port" --nick morvhost --virtual
timeout 60 python3 "$client" >"$work/virtual.out" 2>&1 <<STEPS
connect carol $port
join #main
await-member MorvaneBot #main 20
say #main !gs hl ${addr[source]}
expect MorvaneBot #main 1 10
say MorvaneBot !gs hl ${addr[source]}
expect MorvaneBot carol 1 10
STEPS
[ $? = 0 ] && pass || fail "virtual: the client's checks failed"
has "$work/virtual.out" "[#main] <MorvaneBot> ${B}Морвейн Арена${B} - de_dust2 - 4/24 (${addr[source]})"
has "$work/virtual.out" "[carol] <MorvaneBot> ${B}Морвейн Арена${B} - de_dust2 - 4/24 (${addr[source]})"
grep -q "host: registered as morvhost" "$work/bridge.log" && pass || fail "the host's nick did not register"
stop_bridge virtual

# 4. TLS: the bridge checks the server's certificate and answers over it.
start_bridge --server "localhost:$tls_port" --tls --tls-ca "$work/cert.pem" --nick tlsbot
timeout 60 python3 "$client" >"$work/tls.out" 2>&1 <<STEPS
connect dave $port
join #main
await-member tlsbot #main 20
say #main !gs hl ${addr[source]}
expect tlsbot #main 1 10
STEPS
[ $? = 0 ] && pass || fail "tls: the client's checks failed"
has "$work/tls.out" "[#main] <tlsbot> ${B}Морвейн Арена${B} - de_dust2 - 4/24 (${addr[source]})"
stop_bridge tls
# A pinned fingerprint admits that certificate under another name
# (127.0.0.1), and refuses any other certificate even from a trusted CA.
fingerprint=$(openssl x509 -in "$work/cert.pem" -noout -fingerprint -sha256 | cut -d= -f2)
start_bridge --server "127.0.0.1:$tls_port" --tls --tls-fingerprint "$fingerprint" --nick pinbot
for _ in $(seq 100); do grep -q "host: registered as pinbot" "$work/bridge.log" && break; sleep 0.1; done
grep -q "host: registered as pinbot" "$work/bridge.log" && pass || fail "the pinned certificate was refused"
stop_bridge pinned
start_bridge --server "localhost:$tls_port" --tls --tls-ca "$work/cert.pem" --nick wrongpin \
  --tls-fingerprint "$(printf '0%.0s' $(seq 64))"
for _ in $(seq 100); do grep -q "cannot connect: .*certificate verify failed" "$work/bridge.log" && break; sleep 0.1; done
grep -q "cannot connect: .*certificate verify failed" "$work/bridge.log" && pass || fail "a certificate other than the pinned one was not refused"
stop_bridge wrong-pin
grep -q "registered as wrongpin" "$work/bridge.log" && fail "the bridge registered despite a wrong pin" || pass

if [ "$failed" -ne 0 ]; then
  for f in direct restart virtual tls; do echo "== $f"; cat "$work/$f.out" 2>/dev/null; done
  echo "== bridge log"; cat "$work/bridge.log"
fi
echo "irc: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
