#!/usr/bin/env bash
# morvane-irc's fairness and channel life on ngircd on 127.0.0.1: one user
# floods #main with five requests for a 60-player list while another's
# one-line answer in #games still comes at once; a kick drops what was queued
# for #main and the bridge joins again by itself; an invite-only channel of
# the plug-in's is joined on INVITE, and a keyed one with its key; a user
# (here: a host) past six commands a minute is ignored and told so once.
# Usage: irc_channels.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin irc_channels "${1:?usage: irc_channels.sh BUILD_DIR}" morvane-irc morvane-gamesim Morvane.so
client="$(cd "$(dirname "$0")" && pwd)/irc/irc_client.py"
unset MORVANE_CODEPAGE

source "$(dirname "$0")/irc/ngircd.bash"

coproc SIM { exec "$gamesim" --players 60 --source 0 --for 120; }
sim_pid=$SIM_PID
read -r -t 10 _ server <&"${SIM[0]}" || { echo "irc_channels: the simulator did not start"; exit 1; }
mkdir "$work/module"
cp "$module_file" "$work/module/Morvane.so"
{ printf '\xFF\xFE'; printf '%s' "[Main]
Channels=main|games|invited|keyed
Format=%name% - %pl%/%plmax%
PlFormat=%plname% %plscore%
" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$work/module/Morvane.ini"
has_log() { grep -qE -- "$1" "$work/bridge.log" && pass || fail "no \"$1\" in the bridge's log"; }

start_ircd
timeout 90 python3 "$client" >"$work/client.out" 2>&1 <<STEPS &
connect alice $port
hold flood
join #main
join #games
join #invited
mode #invited +i
join #keyed
mode #keyed +k sekrit
ready $work/ready
await-member morvane #keyed 20
await-member morvane #games 5
invite morvane #invited
await-member morvane #invited 10
as flood JOIN #main
as flood PRIVMSG #main :!gs hlpl $server
as flood PRIVMSG #main :!gs hlpl $server
as flood PRIVMSG #main :!gs hlpl $server
as flood PRIVMSG #main :!gs hlpl $server
as flood PRIVMSG #main :!gs hlpl $server
expect morvane #main 5 15
say #games !gs hl $server
expect morvane #games 1 8
kick #main morvane
quiet morvane #main 3
await-member morvane #main 20
quiet morvane #main 4
say morvane !gs hl $server
expect-notice morvane 10 Too many commands
say morvane !gs hl $server
quiet morvane alice 3
STEPS
client_pid=$!
for _ in $(seq 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
"$build/morvane-irc" --module "$work/module/Morvane.so" --server "127.0.0.1:$port" --nick morvane \
  --channel-key '#keyed=sekrit' 2>>"$work/bridge.log" &
bridge_pid=$!
wait "$client_pid" && pass || fail "the client's checks failed"

has_log "host >> JOIN #keyed sekrit"
has_log "cannot join #invited: "
has_log "trying #invited again in 30 s"
has_log "invited to #invited by alice: joining"
has_log "kicked: [0-9]+ queued lines for #main dropped"
has_log "joining #main again in 10 s"
has_log "more than 6 commands a minute from alice!"
if [ "$failed" -ne 0 ]; then
  echo "== client"; cat "$work/client.out"
  echo "== bridge log"; cat "$work/bridge.log"
fi
echo "irc_channels: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
