#!/usr/bin/env bash
# morvane-irc's own manners and settings, end to end on ngircd on 127.0.0.1:
# the bridge reads its nick, trigger, server and module from a TOML file;
# it answers CTCP VERSION by NOTICE, and a second request from the same host
# within 10 s not at all; the colour, underline and CTCP bytes of a Format
# in Morvane.ini, and those of a server that names itself with them, never
# reach the channel; "?help" and a "?gs" with an
# unknown kind get the usage notice. Started again with a Morvane.ini saved
# as UTF-8 and --password on the command line, it names `morvane-ini write`
# and the password's variable in its log, and the password leaves the
# process list.
# Usage: irc_manners.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin irc_manners "${1:?usage: irc_manners.sh BUILD_DIR}" morvane-irc morvane-gamesim Morvane.so
client="$(cd "$(dirname "$0")" && pwd)/irc/irc_client.py"
bridge="$build/morvane-irc"
unset MORVANE_CODEPAGE MORVANE_IRC_PASSWORD MORVANE_IRC_ACCOUNT_PASSWORD

source "$(dirname "$0")/irc/ngircd.bash"
start_ircd

coproc SIM { exec "$gamesim" --source 0 --hostile-names --source 0 --for 120; }
sim_pid=$SIM_PID
read -r -t 10 _ source_addr <&"${SIM[0]}" && read -r -t 10 _ hostile_addr <&"${SIM[0]}" ||
  { echo "irc_manners: the simulator did not start"; exit 1; }

A=$'\x01' K=$'\x03' U=$'\x1f'
mkdir "$work/module" "$work/module8"
cp "$module_file" "$work/module/Morvane.so"
cp "$module_file" "$work/module8/Morvane.so"
ini="; Настройки
[Main]
Channels=main
Format=${K}%name%${K} - ${U}%map%${U} - ${A}%pl%/%plmax%${A}
"
{ printf '\xFF\xFE'; printf '%s' "$ini" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$work/module/Morvane.ini"
printf '%s' "$ini" >"$work/module8/Morvane.ini"
cat >"$work/bot.toml" <<TOML
# What a real file holds, with the nick and trigger the checks below need.
[server]
host = "127.0.0.1"
port = $port
[identity]
nick = "cfgbot"
[bridge]
module = "$work/module/Morvane.so"
trigger = "?"
TOML

has() {  # has FILE LINE: the transcript holds the line exactly
  if grep -qxF -- "$2" <(cut -d' ' -f2- "$1"); then pass; else fail "no line \"$2\" in $(basename "$1")"; fi
}

# 1. Settings from the file. All clients come from 127.0.0.1, one host to
# the bridge, so each answer waits out the 10 s of the one before.
"$bridge" --config "$work/bot.toml" 2>"$work/bridge.log" &
bridge_pid=$!
timeout 90 python3 "$client" >"$work/manners.out" 2>&1 <<STEPS
connect alice $port
join #main
await-member cfgbot #main 20
ctcp cfgbot VERSION
expect cfgbot alice 1 10
ctcp #main VERSION
quiet cfgbot alice 2
say #main ?gs hl $source_addr
expect cfgbot #main 1 10
say #main ?gs hl $hostile_addr
expect cfgbot #main 1 10
quiet cfgbot alice 8
say #main ?help
expect cfgbot alice 1 10
quiet cfgbot alice 10.5
say #main ?gs nosuchkind 1.2.3.4
expect cfgbot alice 1 10
STEPS
[ $? = 0 ] && pass || fail "the client's checks failed"
version=$(sed -n 's/^project(Morvane VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
has "$work/manners.out" "[alice] <cfgbot> ${A}VERSION morvane-irc $version (Morvane plug-in host)${A}"
has "$work/manners.out" "[#main] <cfgbot> Морвейн Арена - de_dust2 - 4/24"
# The server that names itself with CTCP and formatting bytes: its name
# arrives, without them.
hostile=$(grep -a '<cfgbot> .*Morvane Dust' "$work/manners.out")
[ -n "$hostile" ] && ! LC_ALL=C grep -q $'[\x01-\x1f]' <<<"$hostile" && pass ||
  fail "the hostile server's name is missing or holds control bytes: $(cat -v <<<"$hostile")"
usage="usage: ?gs KIND ADDRESS[:PORT] — kinds: hl, hlpl, cod, codpl, sa, sapl, mc, mcpl, mcbe, fivem, fivempl, mta, mtapl, tcp — e.g. ?gs hl 192.0.2.1:27015"
[ "$(grep -cxF -- "[alice] <cfgbot> $usage" <(cut -d' ' -f2- "$work/manners.out"))" = 2 ] && pass ||
  fail "not two usage notices"
grep -q "settings from $work/bot.toml" "$work/bridge.log" && pass || fail "the log does not name the file"
grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2} loaded ' \
  "$work/bridge.log" && pass || fail "the log's times are not ISO 8601"
kill -TERM "$bridge_pid"; wait "$bridge_pid"; bridge_pid=

# 2. A Morvane.ini saved as UTF-8, and the server password on the command
# line.
secret=s3cr3t-$$
"$bridge" --server "127.0.0.1:$port" --nick inibot --module "$work/module8/Morvane.so" \
  --password "$secret" 2>"$work/bridge8.log" &
bridge_pid=$!
for _ in $(seq 100); do grep -q "plug-in started" "$work/bridge8.log" && break; sleep 0.1; done
ini8="$work/module8/Morvane.ini"
grep -qF "Morvane.ini at $ini8 is UTF-8 without a byte-order mark; the plug-in reads only UTF-16LE and will use its defaults: run \`morvane-ini write $ini8 $ini8\` to convert it" \
  "$work/bridge8.log" && pass || fail "no UTF-8 warning in the log"
grep -q "warning: --password: .*MORVANE_IRC_PASSWORD.*server.password" "$work/bridge8.log" && pass ||
  fail "no warning about --password"
ps -o args= -p "$bridge_pid" | grep -qF "$secret" && fail "the password shows in the process list" || pass
kill -TERM "$bridge_pid"; wait "$bridge_pid"; bridge_pid=

if [ "$failed" -ne 0 ]; then
  echo "== client"; cat "$work/manners.out"
  echo "== bridge log"; cat "$work/bridge.log" "$work/bridge8.log"
fi
echo "irc_manners: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
