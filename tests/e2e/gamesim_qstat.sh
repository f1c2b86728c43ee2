#!/usr/bin/env bash
# Cross-check of the simulators with an independent client: qstat queries the
# Source, GoldSrc and Quake 3 simulators of morvane-gamesim on 127.0.0.1 and
# must read the server names, maps, player counts, rules and players that the
# built-in world holds, through the challenge exchange and split replies too.
# qstat has no SA-MP query; the end-to-end kinds test covers that simulator.
# Usage: gamesim_qstat.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin gamesim_qstat "${1:?usage: gamesim_qstat.sh BUILD_DIR}" morvane-gamesim
qstat=$(command -v quakestat || command -v qstat)
if [ -z "$qstat" ]; then
  echo "gamesim_qstat: neither quakestat nor qstat is installed (scripts/install-deps installs it)"
  echo "gamesim_qstat: 0 passed, 1 failed"
  exit 1
fi

# Repeated servers of one kind take that kind's servers of the world in turn:
# Source has the Cyrillic-named Arena, then the passworded Dust; Quake 3 the
# Latin Test, then the Cyrillic, passworded Arena.
coproc SIM {
  exec "$gamesim" \
    --source 0 --source 0 \
    --challenge --source 0 \
    --plain --players 100 --source 0 \
    --plain --split --goldsrc 0 \
    --plain --quake3 0 --quake3 0
}
sim_pid=$SIM_PID
names=(arena dust challenge crowd classic q3test q3arena)
declare -A addr
for name in "${names[@]}"; do
  read -r -t 10 line <&"${SIM[0]}" || { echo "gamesim_qstat: the simulator did not start"; exit 1; }
  addr[$name]=${line#* }
done
read -r -t 10 ready <&"${SIM[0]}"
[ "$ready" = ready ] || { echo "gamesim_qstat: the simulator did not start: $ready"; exit 1; }

# query NAME TYPE SERVER ENCODING [OPTION...]: qstat's raw report with rules
# and players, turned into UTF-8, in $work/NAME.out: the server line, the
# rules line, one line per player. -nnx keeps names as the server sent them.
query() {
  local name=$1 type=$2 server=$3 encoding=$4
  shift 4
  "$qstat" "-$type" "$server" -P -R -raw , -nh -timeout 5 "$@" 2>"$work/$name.err" |
    iconv -f "$encoding" -t UTF-8 >"$work/$name.out"
}

# server_is NAME TEXT: the first six fields of the server line (type,
# address, name, map, maximum, players; the ping that follows varies).
server_is() {
  local got
  got=$(head -1 "$work/$1.out" | cut -d, -f1-6)
  if [ "$got" = "$2" ]; then pass; else
    fail "$1: server line \"$got\", expected \"$2\""
    sed 's/^/    /' "$work/$1.out" "$work/$1.err"
  fi
}

# rule_is NAME KEY=VALUE
rule_is() {
  if sed -n 2p "$work/$1.out" | tr ',' '\n' | grep -qxF -- "$2"; then pass; else
    fail "$1: no rule $2 in: $(sed -n 2p "$work/$1.out")"
  fi
}

# players_are NAME LINE...: the player lines (name, score, and seconds or
# ping), in any order, and no others.
players_are() {
  local name=$1 got want
  shift
  got=$(tail -n +3 "$work/$name.out" | sed '/^$/d' | LC_ALL=C sort)
  want=$(printf '%s\n' "$@" | LC_ALL=C sort)
  if [ "$got" = "$want" ]; then pass; else
    fail "$name: players"$'\n'"$got"$'\n'"  expected"$'\n'"$want"
  fi
}

# Source: the UTF-8 name exactly; durations as qstat shows them, in whole
# seconds (3725.5 s shows as 3725).
arena_players=("Ann,10,125" "Борис,-3,3725" "Kate,27,59" "BOT Zed,0,7322")
query arena a2s "${addr[arena]}" UTF-8 -nnx
server_is arena "A2S,${addr[arena]},Морвейн Арена,de_dust2,24,4"
rule_is arena "gamedir=cstrike"
rule_is arena "gamename=Counter-Strike: Source"
rule_is arena "bots=1"
rule_is arena "sv_password=0"
players_are arena "${arena_players[@]}"

query dust a2s "${addr[dust]}" UTF-8
server_is dust "A2S,${addr[dust]},Morvane Dust,cs_office,16,2"
rule_is dust "password=1"
players_are dust "Ivan,5,600" "Mira,12,4000"

# The info request answered with a challenge first, as current servers do.
query challenge a2s "${addr[challenge]}" UTF-8 -nnx
server_is challenge "A2S,${addr[challenge]},Морвейн Арена,de_dust2,24,4"
players_are challenge "${arena_players[@]}"

# 100 players do not fit one datagram: the reply is split and qstat joins it.
query crowd a2s "${addr[crowd]}" UTF-8
server_is crowd "A2S,${addr[crowd]},Morvane Dust,cs_office,16,100"
crowd_lines=$(tail -n +3 "$work/crowd.out" | sed '/^$/d' | wc -l)
[ "$crowd_lines" = 100 ] && pass || fail "crowd: $crowd_lines player lines, expected 100"
for player in "Ivan,5,600" "Mira,12,4000" "Player_100,32,8910"; do
  grep -qxF "$player" "$work/crowd.out" && pass || fail "crowd: no player $player"
done

# GoldSrc's old-form info reply, both through the Source query and the old
# text commands, with the player list split in GoldSrc's packet form.
classic_players=("Player,3,300" "Оля,8,3900" "BOT Max,-1,45")
for type in a2s hls; do
  query "classic_$type" "$type" "${addr[classic]}" UTF-8 -nnx
  server_is "classic_$type" "${type^^},${addr[classic]},Morvane Classic,de_inferno,20,3"
  players_are "classic_$type" "${classic_players[@]}"
done
rule_is classic_hls "protocol=47"

# Quake 3 family: qstat removes colour codes unless -nnx keeps the names as
# sent; Windows-1251 texts.
query q3test q3s "${addr[q3test]}" CP1251
server_is q3test "Q3S,${addr[q3test]},Morvane Test,q3dm17,16,3"
rule_is q3test "g_needpass=0"
query q3test_raw q3s "${addr[q3test]}" CP1251 -nnx
players_are q3test_raw "^3Ann,15,48" "Борис,-2,120" "Sarge,4,0"

query q3arena q3s "${addr[q3arena]}" CP1251 -nnx
server_is q3arena "Q3S,${addr[q3arena]},^2Морвейн ^7Арена,q3tourney2,2,1"
rule_is q3arena "g_needpass=1"
rule_is q3arena "sv_hostname=^2Морвейн ^7Арена"
players_are q3arena "^1Kate,3,25"

exec {SIM[1]}>&-
wait "$sim_pid" 2>/dev/null
sim_pid=

echo "gamesim_qstat: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
