#!/usr/bin/env bash
# End-to-end test of every server kind: the console host asks the module for
# one request per kind against morvane-gamesim on 127.0.0.1 and checks each
# reply line of the transcript exactly: summaries and player lists of Source,
# GoldSrc, Quake 3 family and SA-MP servers (Latin and Cyrillic names, a
# password, negative scores, times above an hour), the challenge exchanges,
# two addresses in one request, the offline text for a silent server, split
# player replies of both packet forms put back together, a truncated reply
# giving what its bytes hold, open.mp's player list, two Quake 3 family
# variants, CS2 and Rust servers (hidden names, counts past 255, names
# outside any code page), Minecraft Java (modern, legacy, a reply in segments,
# a sample and hidden names) and Bedrock servers, MTA:SA servers (named by the
# game port, asked on port + 123), FiveM and RedM servers (hidden lists,
# chunked, HTTP/1.0 and endless replies), and the round trip of a reply as %ping%;
# all of it with the default settings and with the addresses served strictly
# in turn, each query sent once.
# Usage: kinds.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin kinds "${1:?usage: kinds.sh BUILD_DIR}" morvane-host morvane-gamesim Morvane.so
# The module holds server texts in its ANSI code page: Windows-1251 unless
# this says otherwise.
unset MORVANE_CODEPAGE

# Repeated servers of one kind take that kind's servers of the world in turn
# (Source: the Cyrillic-named one, then the passworded Latin one). The
# switches hold for the services after them, until --plain.
coproc SIM {
  exec "$gamesim" \
    --source 0 --source 0 --goldsrc 0 \
    --quake3 0 --quake3 0 \
    --samp 0 --samp 0 \
    --challenge --source 0 \
    --plain --no-challenge --source 0 \
    --plain --silent --source 0 \
    --plain --truncate 24 --source 0 \
    --plain --split --source 0 --goldsrc 0 \
    --plain --junk --flood 5 --quake3 0 \
    --plain --players 0 --samp 0 \
    --plain --openmp --samp 0 \
    --plain --manifest --teams --quake3 0 \
    --plain --delay 150 --source 0 \
    --plain --cs2 0 --rust 0 \
    --plain --minecraft 0 --minecraft 0 \
    --legacy --minecraft 0 \
    --plain --segments 12 --favicon 64 --chat-description --minecraft 0 \
    --plain --bedrock 0 \
    --fields 6 --bedrock 0 \
    --plain --mta 0 --mta 0 \
    --password --truncate 150 --mta 0 \
    --plain --fivem 0 --fivem 0 \
    --list-error --fivem 0 \
    --plain --list-empty --fivem 0 \
    --plain --chunked --segments 5 --fivem 0 \
    --plain --http10 --fivem 0 \
    --plain --endless --fivem 0
}
sim_pid=$SIM_PID
names=(arena dust classic q3test q3arena freeroam roleplay challenge open silent cut split
  goldsplit q3flood sampempty openmp q3new delayed cs2 rust craft network mclegacy mcsegments bedrock
  bedrockcut mtadrift mtabig mtacut fivem redm fivemhidden redmempty fivemchunked redm10 fivemendless)
declare -A addr
for name in "${names[@]}"; do
  read -r -t 10 line <&"${SIM[0]}" || { echo "kinds: the simulator did not start"; exit 1; }
  addr[$name]=${line#* }
done
read -r -t 10 ready <&"${SIM[0]}"
if [ "$ready" != ready ]; then
  echo "kinds: the simulator did not start: $ready"
  exit 1
fi

# Single-line templates, so that each reply is one transcript line; the
# Delimiter " // " joins servers and "; " players. An event answers "!ping"
# with the round trip to a server 150 ms away. $1 holds more [Main] lines.
mkdir "$work/module"
cp "$module_file" "$work/module/Morvane.so"
write_settings() {
  printf '\xFF\xFE' >"$work/module/Morvane.ini"
  printf '%s' $'[Main]\r
Format=%name% | %map% | %pl%/%plmax% | %mod% | %pass% | %addr%\r
PlFormat=%plname% %plscore% %pltime%\r
PlTitle=%addr% (%pl%):&&\r
OfflineFormat=%addr% offline%ping%\r
Delimiter=&&//&&\r
PlDelimiter=;&&\r
MaxQueue=80\r
'"$1"$'[Event_0]\r
Type=1\r
Msg=!ping\r
Game=hl\r
MsgType=2\r
Format=ping %ping%\r
Addr='"${addr[delayed]}"$'\r
' | iconv -f UTF-8 -t UTF-16LE >>"$work/module/Morvane.ini"
}

# Every kind, once with the default settings (requests and the addresses of
# each in flight side by side, queries repeated) and once with Parallel 1,
# Retries 0 and Requests 1 (one after another, each query sent once): the
# same replies.
run_kinds() {
label=$1
repeats=$3
failed_before=$failed
write_settings "$2"
# One private message per request: the reply comes back to @alice as one line.
cat >"$work/kinds.txt" <<SCRIPT
@alice: /gs hl ${addr[arena]}
@alice: /gs hl ${addr[dust]}
@alice: /gs hl ${addr[classic]}
@alice: /gs hlpl ${addr[arena]}
@alice: /gs hlpl ${addr[classic]}
@alice: /gs hlpl ${addr[challenge]}
@alice: /gs hl ${addr[challenge]}
@alice: /gs hlpl ${addr[open]}
@alice: /gs cod ${addr[q3test]}
@alice: /gs cod ${addr[q3arena]}
@alice: /gs codpl ${addr[q3test]}
@alice: /gs codpl ${addr[q3flood]}
@alice: /gs sa ${addr[freeroam]}
@alice: /gs sa ${addr[roleplay]}
@alice: /gs sapl ${addr[freeroam]}
@alice: /gs sapl ${addr[sampempty]}
@alice: /gs hl ${addr[dust]}, ${addr[classic]}
@alice: /gs codpl ${addr[q3test]},${addr[q3arena]}
@alice: /gs hl ${addr[silent]}
@alice: /gs hl ${addr[cut]}
@alice: /gs hlpl ${addr[cut]}
@alice: /gs hlpl ${addr[split]}
@alice: /gs hlpl ${addr[goldsplit]}
@alice: /gs sapl ${addr[openmp]}
@alice: /gs cod ${addr[q3new]}
@alice: /gs codpl ${addr[q3new]}
@alice: /gs hl ${addr[cs2]}
@alice: /gs hlpl ${addr[cs2]}
@alice: /gs hl ${addr[rust]}
@alice: /gs hlpl ${addr[rust]}
@alice: /gs mc ${addr[craft]}
@alice: /gs mcpl ${addr[craft]}
@alice: /gs mcpl ${addr[network]}
@alice: /gs mc ${addr[network]}
@alice: /gs mc ${addr[mclegacy]}
@alice: /gs mc ${addr[mcsegments]}
@alice: /gs mcbe ${addr[bedrock]}
@alice: /gs mcbe ${addr[bedrockcut]}
@alice: /gs mta ${addr[mtadrift]}
@alice: /gs mtapl ${addr[mtadrift]}
@alice: /gs mta ${addr[mtabig]}
@alice: /gs mtapl ${addr[mtabig]}
@alice: /gs mta ${addr[mtacut]}
@alice: /gs mtapl ${addr[mtacut]}
@alice: /gs fivem ${addr[fivem]}
@alice: /gs fivem ${addr[redm]}
@alice: /gs fivempl ${addr[fivem]}
@alice: /gs fivempl ${addr[fivemhidden]}
@alice: /gs fivempl ${addr[redmempty]}
@alice: /gs fivempl ${addr[fivemchunked]}
@alice: /gs fivempl ${addr[redm10]}
@alice: /gs fivempl ${addr[fivemendless]}
@alice: !ping
!wait 12
SCRIPT
timeout 120 "$host" --module "$work/module/Morvane.so" --script "$work/kinds.txt" \
  >"$work/kinds.out" 2>"$work/kinds.err"
[ $? = 0 ] && pass || fail "the host's exit status is not 0"

has() {
  if grep -qxF -- "[@alice] <host> $1" "$work/kinds.out"; then pass; else
    fail "no line \"[@alice] <host> $1\""
  fi
}

# Summaries: Source (UTF-8 names), the password mark, GoldSrc's old form.
has "Морвейн Арена | de_dust2 | 4/24 | Counter-Strike: Source |  | ${addr[arena]}"
has "Morvane Dust | cs_office | 2/16 | Counter-Strike: Source | [pass] | ${addr[dust]}"
has "Morvane Classic | de_inferno | 3/20 | Counter-Strike |  | ${addr[classic]}"

# Player lists: the challenge exchange, times as hours:minutes.seconds
# (3725.5 s rounds to the even 3726), negative scores, a Cyrillic name.
arena_players="Ann 10 00:02.05; Борис -3 01:02.06; Kate 27 00:01.00; BOT Zed 0 02:02.02"
has "${addr[arena]} (4): $arena_players"
has "${addr[classic]} (3): Player 3 00:05.00; Оля 8 01:05.00; BOT Max -1 00:00.45"
has "${addr[challenge]} (4): $arena_players"
# A server that wants the challenge for its info reply too, as current ones do.
has "Морвейн Арена | de_dust2 | 4/24 | Counter-Strike: Source |  | ${addr[challenge]}"
# A server that answers the bare player request at once.
has "${addr[open]} (2): Ivan 5 00:10.00; Mira 12 01:06.40"

# Quake 3 family: colour codes removed, Windows-1251 names, no password mark.
has "Morvane Test | q3dm17 | 3/16 | baseq3 |  | ${addr[q3test]}"
has "Морвейн Арена | q3tourney2 | 1/2 | baseq3 |  | ${addr[q3arena]}"
has "${addr[q3test]} (3): Ann 15 48; Борис -2 120; Sarge 4 0"
# Decoys from another port before the reply and from the same port after it
# must not show.
has "${addr[q3flood]} (3): Ann 15 48; Борис -2 120; Sarge 4 0"

# SA-MP: the third text (the language) fills %map%; pings as times.
has "Морвейн Фрирум | Русский | 3/50 | Freeroam | [pass] | ${addr[freeroam]}"
has "Morvane Roleplay | English | 1/100 | RP 1.2 |  | ${addr[roleplay]}"
has "${addr[freeroam]} (3): Ivan_Petrov 120 35; Ann_Lee -5 120; Kate 0 12"
has "${addr[sampempty]} (0): Нет игроков"

# Two addresses in one request, joined by the Delimiter; each player list
# starts afresh.
has "Morvane Dust | cs_office | 2/16 | Counter-Strike: Source | [pass] | ${addr[dust]} // Morvane Classic | de_inferno | 3/20 | Counter-Strike |  | ${addr[classic]}"
has "${addr[q3test]} (3): Ann 15 48; Борис -2 120; Sarge 4 0 // ${addr[q3arena]} (1): Kate 3 25"

# Faults: silence gives the offline text; a reply cut to 24 bytes keeps what
# it holds (a string runs to the end, missing bytes read as 0, a cut player
# record is listed and ends the list); a player list split into pieces, sent
# last first and one twice, is put back together in either packet form.
has "${addr[silent]} offline"
has "Morvane Dust | cs_of | 0/0 |  |  | ${addr[cut]}"
has "${addr[cut]} (2): Ivan 5 00:10.00; Mir 0 00:00:00"
has "${addr[split]} (4): $arena_players"
has "${addr[goldsplit]} (3): Player 3 00:05.00; Оля 8 01:05.00; BOT Max -1 00:00.45"

# Today's servers: an open.mp server never answers the detailed player list,
# so a repeat asks for the client list (names and scores, no pings), and
# with no repeats it is offline; an ioquake3 info value holding newlines
# hides no key after it, and a team number before the names is skipped.
if [ "$repeats" = yes ]; then
  has "${addr[openmp]} (1): John_Smith 42 "
else
  has "${addr[openmp]} offline"
fi
has "Морвейн Арена | q3tourney2 | 1/2 | baseq3 |  | ${addr[q3new]}"
has "${addr[q3new]} (1): Kate 3 25"

# Today's Source servers: names outside Windows-1251 in full, CS2 and Rust
# name none of their players, and Rust's keywords count past 255 (the player
# reply's count byte cannot).
has "Morvane ★ CS2 Premier | 中文服 | de_ancient | 12/32 | Counter-Strike 2 |  | ${addr[cs2]}"
has "${addr[cs2]} (12): Имена игроков скрыты сервером"
has "Морвейн Rust 2x | 墨文 EU | Procedural Map | 300/400 | Rust |  | ${addr[rust]}"
has "${addr[rust]} (255): Имена игроков скрыты сервером"

# Minecraft: UTF-8 texts in full with the "§" codes gone and the message of
# the day on one line; the player sample as the list, and a large network
# that hides its players' names; a server before 1.7 answers the legacy ping
# of the first repeat, so with no repeats it is offline; a reply in 12
# segments with a large favicon and a chat-component description; Bedrock
# pongs with every field and with the first six only.
has "Морвейн Крафт Выживание без лагов | 1.21.1 | 3/20 | Minecraft |  | ${addr[craft]}"
has "${addr[craft]} (3): Steve  ; Алёна  ; Kate_2  "
has "${addr[network]} (26307): Имена игроков скрыты сервером"
network="Morvane Network ⚔ Лобби и мини-игры 🎮 | Requires MC 1.8 / 1.21 | 26307/200000 | Minecraft |  | ${addr[network]}"
has "$network"
if [ "$repeats" = yes ]; then
  has "Морвейн Крафт Выживание без лагов | 1.6.4 | 3/20 | Minecraft |  | ${addr[mclegacy]}"
else
  has "${addr[mclegacy]} offline"
fi
has "${network/${addr[network]}/${addr[mcsegments]}}"
has "Морвейн Bedrock | Морвейн мир | 5/30 | 1.21.2 |  | ${addr[bedrock]}"
has "Morvane PvP Hub |  | 18605/55000 | 1 |  | ${addr[bedrockcut]}"

# MTA:SA: a UTF-8 name beyond any one code page; records with every field,
# none, each one left out or empty; a large server that sends no records; a
# reply cut inside the second record keeps the first and tells the rest.
has "Морвейн Ωμέγα ★ Drift | Los Santos | 8/64 | Race |  | ${addr[mtadrift]}"
has "${addr[mtadrift]} (8): Ann 12 35; Борис  120;  3 48; Kate -4 60;  9 70; Zoë  ; Mira  80;   "
has "Morvane Freeroam | San Andreas | 1500/4096 | Freeroam |  | ${addr[mtabig]}"
has "${addr[mtabig]} (1500): Имена игроков скрыты сервером"
has "Морвейн Ωμέγα ★ Drift | Los Santos | 8/64 | Race | [pass] | ${addr[mtacut]}"
has "${addr[mtacut]} (8): Ann 12 35; ... и ещё 7"

# FiveM and RedM: the host name's colour codes gone, UTF-8 texts; the list
# from players.json (no scores) with the count from getinfo; a server that
# answers 403, or an empty array while players are on, hides the names; a
# chunked body in five segments and an HTTP/1.0 body ended by the close read
# whole; a reply that never ends leaves the count and the hidden line.
has "Morvane Roleplay | Лос-Сантос | fivem-map-skater | 3/48 | Freeroam |  | ${addr[fivem]}"
has "Morvane Frontier | redm-map-one | 1/32 | Roleplay |  | ${addr[redm]}"
fivem_players="Ann  35; Борис  62; Kate_Z  18"
has "${addr[fivem]} (3): $fivem_players"
has "${addr[fivemhidden]} (3): Имена игроков скрыты сервером"
has "${addr[redmempty]} (1): Имена игроков скрыты сервером"
has "${addr[fivemchunked]} (3): $fivem_players"
has "${addr[redm10]} (1): Arthur  80"
has "${addr[fivemendless]} (3): Имена игроков скрыты сервером"

# The round trip of the reply that answered, 150 ms and a little more.
if grep -qE "^\[@alice\] <host> ping (1[5-9][0-9]|[2-9][0-9][0-9])$" "$work/kinds.out"; then pass; else
  fail "no \"ping\" line of 150 to 999 ms"
fi

# Every request got exactly one reply.
replies=$(grep -c '^\[@alice\] <host> ' "$work/kinds.out")
requests=$(grep -c '^@alice: ' "$work/kinds.txt")
[ "$replies" = "$requests" ] && pass || fail "expected $requests replies, got $replies"
if [ "$failed" -ne "$failed_before" ]; then
  echo "transcript ($label):"
  sed 's/^/    /' "$work/kinds.out"
fi

}
run_kinds "defaults" "" yes
run_kinds "Parallel 1, Retries 0, Requests 1" $'Parallel=1\r\nRetries=0\r\nRequests=1\r\n' no

exec {SIM[1]}>&-
wait "$sim_pid" 2>/dev/null
sim_pid=

echo "kinds: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
