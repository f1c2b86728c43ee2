#!/usr/bin/env bash
# Cross-check of the Minecraft simulators, and of the CS2 and Rust ones, with independent clients: gamedig
# (and minecraft-protocol's status ping) read the Java and Bedrock simulators
# of morvane-gamesim on 127.0.0.1 and must find the values the built-in world
# holds: the modern status with its ping, a chat-component description, a
# reply written in many segments with a large favicon, servers before 1.7 and
# before 1.4, Bedrock pongs with all and with only some fields, and a server
# kept busy by idle connections; MTA:SA servers, which gamedig finds on the
# game port of the simulator's line plus 123; and FiveM and RedM servers with
# their players.json whole, chunked, over HTTP/1.0, hidden and never ending.
# gamedig 5.3.3 has no legacy ping, so
# tests/e2e/node/gamedig_query.mjs reads the legacy kick itself; that reader
# is first checked against minecraft-protocol's own server (mc_server.mjs).
# Skips when Node.js or the packages of tests/e2e/node are missing
# (scripts/install-deps native installs them).
# Usage: gamesim_gamedig.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin gamesim_gamedig "${1:?usage: gamesim_gamedig.sh BUILD_DIR}" morvane-gamesim
e2e_need_node_peers gamedig minecraft-protocol

coproc SIM {
  exec "$gamesim" \
    --minecraft 0 --minecraft 0 \
    --chat-description --minecraft 0 \
    --plain --segments 40 --favicon 64 --minecraft 0 \
    --plain --legacy --minecraft 0 \
    --plain --old-legacy --minecraft 0 \
    --plain --bedrock 0 \
    --fields 10 --bedrock 0 \
    --fields 6 --bedrock 0 \
    --plain --cs2 0 --rust 0 \
    --plain --mta 0 --mta 0 \
    --truncate 150 --mta 0 \
    --plain --fivem 0 --fivem 0 \
    --list-error --fivem 0 \
    --plain --list-empty --fivem 0 \
    --plain --chunked --segments 5 --fivem 0 \
    --plain --http10 --fivem 0 \
    --plain --endless --fivem 0
}
sim_pid=$SIM_PID
names=(craft network chat segmented legacy old bedrock cut10 cut6 cs2 rust mtadrift mtabig mtacut
  fivem redm fivemhidden redmempty fivemchunked redm10 fivemendless)
declare -A addr
for name in "${names[@]}"; do
  read -r -t 10 line <&"${SIM[0]}" || { echo "gamesim_gamedig: the simulator did not start"; exit 1; }
  addr[$name]=${line#* }
done
read -r -t 10 ready <&"${SIM[0]}"
[ "$ready" = ready ] || { echo "gamesim_gamedig: the simulator did not start: $ready"; exit 1; }

# gamedig is handed the MTA:SA query ports, which it then asks alone.
for name in mtadrift mtabig mtacut; do
  addr[${name}q]=${addr[$name]%:*}:$((${addr[$name]##*:} + 123))
done

e2e_start_mc_peer
addr[peer]=$mc_peer

# Two idle connections to the first server, one silent and one stopped in
# the middle of a handshake: the readings of that server must not wait for
# them.
exec {idle}<>"/dev/tcp/${addr[craft]/://}"
exec {halfway}<>"/dev/tcp/${addr[craft]/://}"
printf '\x10\x00' >&"$halfway"

# ask NAME TYPE SERVER: one reading into $work/NAME.json, several at once
# (gamedig waits out the protocols a server does not speak), but no more than
# a loaded machine starts in good time: each reader is a Node.js process.
readers=()
ask() {
  local pid running
  for (( ; ; )); do
    running=0
    for pid in "${readers[@]}"; do kill -0 "$pid" 2>/dev/null && running=$((running + 1)); done
    [ "$running" -lt 8 ] && break
    sleep 0.1
  done
  timeout 30 node "$peers/gamedig_query.mjs" "$2" "${addr[$3]}" >"$work/$1.json" 2>"$work/$1.err" &
  readers+=($!)
}
ask craft minecraft craft
ask craft_ping ping craft
ask craft_legacy legacy craft
ask network minecraft network
ask chat minecraft chat
ask segmented minecraft segmented
ask segmented_ping ping segmented
ask segmented_legacy legacy segmented
ask legacy legacy legacy
ask legacy_status minecraft legacy
ask old legacy old
ask old_status minecraft old
ask bedrock mbe bedrock
ask cut10 mbe cut10
ask cut6 mbe cut6
ask peer minecraft peer
ask mtadrift gtasamta mtadriftq
ask mtabig gtasamta mtabigq
ask mtacut gtasamta mtacutq
ask mtagame gtasamta mtadrift
ask peer_legacy legacy peer
ask cs2 counterstrike2 cs2
ask rust rust rust
for name in fivem redm fivemhidden redmempty fivemchunked redm10 fivemendless; do
  ask "$name" gta5f "$name"
done
wait "${readers[@]}"

# reads_is NAME JSON: the reading, without the count of reads that the
# legacy reader adds.
reads_is() {
  local got
  got=$(sed 's/,"reads":[0-9]*//' "$work/$1.json")
  if [ "$got" = "$2" ]; then pass; else
    fail "$1: $got"$'\n'"  expected $2"
    sed 's/^/    /' "$work/$1.err"
  fi
}

# The reader of legacy kicks agrees with minecraft-protocol's server, whose
# kick states its own protocol number.
reads_is peer '{"name":"Morvane peer","map":"","version":"1.21.1","numplayers":2,"maxplayers":50,"players":["Alex","Ника"]}'
reads_is peer_legacy '{"name":"§aMorvane §fpeer","version":"1.21.1","protocol":767,"numplayers":2,"maxplayers":50,"players":[]}'

# The vanilla server: gamedig takes the description's line feed for a blank
# and drops the formatting codes, not those of the player names.
craft_motd='§6Морвейн §fКрафт\n§7Выживание §lбез§r лагов'
craft_read='{"name":"Морвейн Крафт Выживание без лагов","map":"","version":"1.21.1","numplayers":3,"maxplayers":20,"players":["Steve","Алёна","§bKate_2"]}'
reads_is craft "$craft_read"
reads_is craft_ping '{"name":"'"$craft_motd"'","version":"1.21.1","protocol":767,"numplayers":3,"maxplayers":20,"players":["Steve","Алёна","§bKate_2"],"pong":true}'
reads_is craft_legacy '{"name":"'"$craft_motd"'","version":"1.21.1","protocol":127,"numplayers":3,"maxplayers":20,"players":[]}'
# The same server with its description as a chat component reads the same.
reads_is chat "$craft_read"

# The network: a maximum beyond 16 bits, an empty sample, a character beyond
# the Basic Multilingual Plane; in 40 segments with a 64 KiB favicon too.
network_motd='§bMorvane §lNetwork§r §e⚔\n§7Лобби и мини-игры 🎮'
network_read='{"name":"Morvane Network ⚔ Лобби и мини-игры 🎮","map":"","version":"Requires MC 1.8 / 1.21","numplayers":26307,"maxplayers":200000,"players":[]}'
reads_is network "$network_read"
reads_is segmented "$network_read"
reads_is segmented_ping '{"name":"'"$network_motd"'","version":"Requires MC 1.8 / 1.21","protocol":47,"numplayers":26307,"maxplayers":200000,"players":[],"pong":true}'
reads_is segmented_legacy '{"name":"'"$network_motd"'","version":"Requires MC 1.8 / 1.21","protocol":127,"numplayers":26307,"maxplayers":200000,"players":[]}'
segments=$(sed -n 's/.*"reads":\([0-9]*\).*/\1/p' "$work/segmented_legacy.json")
[ "${segments:-0}" -ge 10 ] && pass || fail "segmented_legacy: the kick came in ${segments:-no} reads, not many"

# Servers before 1.7 answer the legacy ping alone and close on a status
# handshake; before 1.4 without a version.
reads_is legacy '{"name":"'"$craft_motd"'","version":"1.6.4","protocol":78,"numplayers":3,"maxplayers":20,"players":[]}'
reads_is old '{"name":"'"$network_motd"'","numplayers":26307,"maxplayers":200000,"players":[]}'
for name in legacy_status old_status; do
  grep -q '^{"error":' "$work/$name.json" && pass || fail "$name: a status from a legacy server: $(cat "$work/$name.json")"
done

# Bedrock: every field; ten (ending after the game mode number, without
# ";"); six (no level name).
reads_is bedrock '{"name":"Морвейн Bedrock","map":"Морвейн мир","version":"1.21.2","numplayers":5,"maxplayers":30,"players":[]}'
reads_is cut10 '{"name":"Morvane PvP Hub","map":"C","version":"1","numplayers":18605,"maxplayers":55000,"players":[]}'
reads_is cut6 '{"name":"Морвейн Bedrock","map":"","version":"1.21.2","numplayers":5,"maxplayers":30,"players":[]}'

# Today's Source servers. CS2 names none of its 12 players: gamedig lists 12
# empty names, where Morvane shows the names-hidden line. The Rust server has
# 300 of 400 players: gamedig reads the info reply's count bytes, which hold
# only the low 8 bits (44/144), where Morvane takes the keywords' cp300 and
# mp400, which are right.
reads_is cs2 '{"name":"Morvane ★ CS2 Premier | 中文服","map":"de_ancient","version":"1.40.5.1","numplayers":12,"maxplayers":32,"players":["","","","","","","","","","","",""]}'
sed -i 's/,"players":\[[^]]*\]//' "$work/rust.json"
reads_is rust '{"name":"Морвейн Rust 2x | 墨文 EU","map":"Procedural Map","version":"2584","numplayers":44,"maxplayers":144}'

# MTA:SA: records without a name read as empty ones; a large server sends
# none; nothing answers on the game port itself. In the reply cut inside the
# second record gamedig lists that record with half a name ("Бори" and a lone
# byte): the plug-in is right to drop it, as its text was never sent whole.
reads_is mtadrift '{"name":"Морвейн Ωμέγα ★ Drift","map":"Los Santos","version":"1.6","numplayers":8,"maxplayers":64,"players":["Ann","Борис","","Kate","","Zoë","Mira",""]}'
reads_is mtabig '{"name":"Morvane Freeroam","map":"San Andreas","version":"1.6","numplayers":1500,"maxplayers":4096,"players":[]}'
reads_is mtacut $'{"name":"Морвейн Ωμέγα ★ Drift","map":"Los Santos","version":"1.6","numplayers":8,"maxplayers":64,"players":["Ann","Бори\xef\xbf\xbd"]}'
grep -q '^{"error":' "$work/mtagame.json" && pass || fail "mtagame: an answer on the game port"

# FiveM and RedM (gamedig's gta5f: getinfo, then /info.json and
# /players.json). Where gamedig and the plug-in differ, the plug-in is right:
# gamedig keeps the host name's "^1" colour codes, which the game shows as
# colours, not as text; it reads a 403 and an empty array alike as nobody
# playing, while getinfo counts players, so the plug-in says the names are
# hidden; and it gives up on a server whose /info.json never ends, which the
# plug-in does not ask for, while getinfo shows the server online.
fivem_read='{"name":"^1Morvane ^7Roleplay | Лос-Сантос","map":"fivem-map-skater","version":"1973579058","numplayers":"3","maxplayers":"48","players":["Ann","Борис","Kate_Z"],"pings":[35,62,18]}'
redm_read='{"name":"Morvane Frontier","map":"redm-map-one","version":"1194941742","numplayers":"1","maxplayers":"32","players":["Arthur"],"pings":[80]}'
reads_is fivem "$fivem_read"
reads_is redm "$redm_read"
reads_is fivemchunked "$fivem_read"
reads_is redm10 "$redm_read"
reads_is fivemhidden "${fivem_read/'["Ann","Борис","Kate_Z"],"pings":[35,62,18]'/'[],"pings":[]'}"
reads_is redmempty "${redm_read/'["Arthur"],"pings":[80]'/'[],"pings":[]'}"
reads_is fivemendless '{"error":"Failed all 1 attempts"}'

exec {idle}>&- {halfway}>&-
exec {SIM[1]}>&- {peer_in}>&-
wait "$sim_pid" "$peer_pid" 2>/dev/null
sim_pid=

echo "gamesim_gamedig: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
