#!/usr/bin/env bash
# morvane-irc on a network with services: InspIRCd 3 and Atheme on
# 127.0.0.1. The bridge logs in to its account by SASL PLAIN and enters a
# channel for logged-in users only (+R); its nick is held by another client
# when it connects and is won back (MONITOR) once that client quits; a
# "!reload" from a client that merely took the admin's nick is dropped, the
# real admin's (logged in to the account "boss") passes; in virtual-user
# mode, logged in by NickServ IDENTIFY instead, a host nick as long as
# NICKLEN that is taken gets a shortened variant, and the virtual user's
# Cyrillic Name, which the server refuses, goes by its Latin form, joins and
# answers.
# Usage: irc_services.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin irc_services "${1:?usage: irc_services.sh BUILD_DIR}" morvane-irc morvane-gamesim Morvane.so
for program in inspircd atheme-services; do
  command -v "$program" >/dev/null || { echo "irc_services: $program is missing (scripts/install-deps)"; exit 1; }
done
client="$(cd "$(dirname "$0")" && pwd)/irc/irc_client.py"
bridge="$build/morvane-irc"
unset MORVANE_CODEPAGE

ircd_pid=
services_pid=
bridge_pid=
services_cleanup() {
  local pid
  for pid in $bridge_pid $services_pid $ircd_pid; do { kill -9 "$pid" && wait "$pid"; } 2>/dev/null; done
  e2e_cleanup
}
trap services_cleanup EXIT

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port)
link_port=$(free_port)
nicklen=16

cat >"$work/inspircd.conf" <<CONF
<server name="irc.morvane.test" description="Morvane test server" network="MorvaneTest" id="001">
<admin name="test" nick="test" email="test@example.org">
<bind address="127.0.0.1" port="$port" type="clients">
<bind address="127.0.0.1" port="$link_port" type="servers">
<connect name="main" allow="*" resolvehostnames="no" useident="no" threshold="100000"
  commandrate="1000000" pingfreq="120" sendq="1048576" recvq="65536" localmax="100"
  globalmax="100" maxchans="50" limit="1000">
<limits maxnick="$nicklen" maxchan="64" maxuser="10" maxhost="64" maxquit="255" maxtopic="307"
  maxkick="255" maxreal="128" maxgecos="128" maxaway="200" maxmodes="20" maxkey="30">
<pid file="$work/inspircd.pid">
<files motd="$work/motd">
<log method="file" type="* -USERINPUT -USEROUTPUT" level="default" target="$work/inspircd.log">
<module name="spanningtree"><module name="services_account"><module name="sasl">
<module name="cap"><module name="ircv3"><module name="ircv3_accounttag">
<module name="ircv3_capnotify"><module name="ircv3_servertime"><module name="ircv3_ctctags">
<module name="monitor"><module name="svshold"><module name="chghost">
<module name="servprotect"><module name="deaf">
<sasl target="services.morvane.test">
<link name="services.morvane.test" ipaddr="127.0.0.1" port="$link_port" allowmask="127.0.0.0/8"
  sendpass="linkpass" recvpass="linkpass">
<uline server="services.morvane.test" silent="yes">
CONF
echo "Morvane services test" >"$work/motd"
mkdir "$work/atheme"
cat >"$work/atheme.conf" <<CONF
loadmodule "modules/protocol/inspircd";
loadmodule "modules/backend/opensex";
loadmodule "modules/crypto/posix";
loadmodule "modules/nickserv/main";
loadmodule "modules/nickserv/register";
loadmodule "modules/nickserv/identify";
loadmodule "modules/nickserv/ghost";
loadmodule "modules/saslserv/main";
loadmodule "modules/saslserv/plain";
serverinfo {
  name = "services.morvane.test"; desc = "Morvane test services"; numeric = "00A";
  recontime = 1; netname = "MorvaneTest"; hidehostsuffix = "users.test";
  adminname = "test"; adminemail = "test@example.org"; registeremail = "test@example.org";
  loglevel = { error; info; admin; network; };
  maxlogins = 5; maxusers = 5; mdlimit = 30; emaillimit = 100; emailtime = 300;
  auth = none; casemapping = rfc1459;
};
uplink "irc.morvane.test" { host = "127.0.0.1"; password = "linkpass"; port = $link_port; };
nickserv { nick = "NickServ"; user = "NickServ"; host = "services.morvane.test"; real = "Nickname Services"; maxnicks = 5; expire = 30; };
saslserv { nick = "SaslServ"; user = "SaslServ"; host = "services.morvane.test"; real = "SASL Services"; };
general {
  helpchan = "#help"; helpurl = "http://example.org"; join_chans; leave_chans;
  uflags = { hidemail; }; cflags = { guard; verbose; }; flood_msgs = 1000; flood_time = 1;
  ratelimit_uses = 1000; ratelimit_period = 1; kline_time = 7; commit_interval = 5;
  default_clone_allowed = 1000; default_clone_warn = 1000; clone_time = 0;
  uplink_sendq_limit = 1048576; language = "en";
};
CONF

inspircd --config "$work/inspircd.conf" --nofork --runasroot >"$work/inspircd.out" 2>&1 &
ircd_pid=$!
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$link_port") 2>/dev/null && break; sleep 0.1; done
atheme-services -n -c "$work/atheme.conf" -D "$work/atheme" -l "$work/atheme.log" \
  -p "$work/atheme.pid" >"$work/atheme.out" 2>&1 &
services_pid=$!
for _ in $(seq 150); do grep -q "finished synching" "$work/atheme.out" 2>/dev/null && break; sleep 0.1; done
grep -q "finished synching" "$work/atheme.out" ||
  { echo "irc_services: the services did not link:"; cat "$work/inspircd.out" "$work/atheme.out"; exit 1; }

start_bridge() {
  MORVANE_IRC_ACCOUNT_PASSWORD=botpass "$bridge" --module "$work/module/Morvane.so" \
    --server "127.0.0.1:$port" --sasl plain --account morvbot --admin-account boss "$@" \
    2>>"$work/bridge.log" &
  bridge_pid=$!
}
stop_bridge() {
  kill -TERM "$bridge_pid"
  for _ in $(seq 50); do kill -0 "$bridge_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$bridge_pid"
  local status=$?
  bridge_pid=
  [ $status = 0 ] && pass || fail "$1: the bridge's exit status is $status, not 0"
}
logged() {  # logged TEXT [SECONDS]: the bridge's log holds the text, at once or within SECONDS
  for _ in $(seq $((${2:-0} * 10 + 1))); do
    grep -qF -- "$1" "$work/bridge.log" && { pass; return; }
    sleep 0.1
  done
  fail "no \"$1\" in the bridge's log"
}
client_run() {  # client_run NAME: steps on standard input, transcript in NAME.out
  timeout 90 python3 "$client" >"$work/$1.out" 2>&1 && pass || fail "$1: the client's checks failed"
}

coproc SIM { exec "$gamesim" --source 0 --for 120; }
sim_pid=$SIM_PID
read -r -t 10 _ source_addr <&"${SIM[0]}" || { echo "irc_services: the simulator did not start"; exit 1; }

mkdir "$work/module"
cp "$module_file" "$work/module/Morvane.so"
{ printf '\xFF\xFE'; printf '%s' "[Main]
Channels=main|games
AdmUsers=boss
Format=%name% - %map% - %pl%/%plmax%
[VirtUser]
Name=Морвейн
IP=N/A
Password=secret
" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$work/module/Morvane.ini"

# The bot's account.
client_run register <<STEPS
connect morvbot $port
say NickServ REGISTER botpass bot@example.org
expect NickServ morvbot 1 10
STEPS

# 1. Direct mode: SASL, a +R channel, the nick won back, a spoofed admin.
{
  cat <<STEPS
connect carol $port
join #main
raw MODE #main +R
hold morvane
ready $work/direct.ready
await-member morvane_ #main 20
release morvane
await-member morvane #main 30
hold boss
as boss PRIVMSG morvane :!reload
say #main !gs hl $source_addr
expect morvane #main 1 10
release boss
STEPS
} | client_run direct &
client_pid=$!
for _ in $(seq 100); do [ -e "$work/direct.ready" ] && break; sleep 0.1; done
start_bridge --nick morvane
wait "$client_pid"
logged "host: logged in as morvbot"
logged "host: has its nick morvane back"
logged "!reload from boss!" 5
logged "(account none), who is no trusted admin: dropped"

# The real admin, logged in to the account "boss".
client_run admin <<STEPS
connect boss $port
say NickServ REGISTER bosspass boss@example.org
expect NickServ boss 1 10
say morvane !reload
STEPS
logged "host: !reload from the admin boss!" 10
stop_bridge direct

# 2. Virtual-user mode without SASL: NickServ IDENTIFY, a taken host nick of
# NICKLEN, a refused Cyrillic Name.
long_nick=$(printf 'h%.0s' $(seq $nicklen))
{
  cat <<STEPS
connect dave $port
hold $long_nick
join #games
ready $work/virtual.ready
await-member Morvejn #games 25
say #games !gs hl $source_addr
expect Morvejn #games 1 10
STEPS
} | client_run virtual &
client_pid=$!
for _ in $(seq 100); do [ -e "$work/virtual.ready" ] && break; sleep 0.1; done
start_bridge --nick "$long_nick" --virtual --sasl none
wait "$client_pid"
logged "host: registered as ${long_nick:1}_"
logged "the server refuses the nick Морвейн"
logged "virtual Морвейн: registered as Morvejn"
logged "virtual Морвейн: no SASL here; identifying to NickServ as morvbot"
logged "virtual Морвейн: logged in" 10
grep -q "IDENTIFY morvbot botpass" "$work/bridge.log" && fail "the account password is in the log" || pass
stop_bridge virtual

if [ "$failed" -ne 0 ]; then
  for f in register direct admin virtual; do echo "== $f"; cat "$work/$f.out" 2>/dev/null; done
  echo "== bridge log"; cat "$work/bridge.log"
fi
echo "irc_services: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
