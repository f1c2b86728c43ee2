# An ngircd on 127.0.0.1 for the IRC end-to-end tests, sourced after
# e2e_begin: ports $port and $tls_port, the latter with a certificate of its
# own for "localhost" ($work/cert.pem), which the bridge trusts through
# --tls-ca. start_ircd starts it (again) as $ircd_pid; the script kills it,
# and the bridge it starts as $bridge_pid, when it ends.
command -v ngircd >/dev/null || { echo "irc: ngircd is missing (scripts/install-deps)"; exit 1; }

ircd_pid=
bridge_pid=
irc_cleanup() {
  local pid
  for pid in $bridge_pid $ircd_pid; do { kill -9 "$pid" && wait "$pid"; } 2>/dev/null; done
  e2e_cleanup
}
trap irc_cleanup EXIT

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port)
tls_port=$(free_port)
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -keyout "$work/key.pem" -out "$work/cert.pem" -subj /CN=localhost \
  -addext subjectAltName=DNS:localhost >/dev/null 2>&1 || { echo "irc: openssl cannot make a certificate"; exit 1; }
cat >"$work/ngircd.conf" <<CONF
[Global]
Name = irc.morvane.test
Info = Morvane test server
Listen = 127.0.0.1
Ports = $port
PidFile = $work/ngircd.pid
MotdFile = $work/motd
[Limits]
MaxNickLength = 30
MaxConnectionsIP = 0
[Options]
PAM = no
DNS = no
Ident = no
[SSL]
CertFile = $work/cert.pem
KeyFile = $work/key.pem
Ports = $tls_port
CONF
echo "Morvane test server" >"$work/motd"

start_ircd() {
  ngircd -n -f "$work/ngircd.conf" >>"$work/ngircd.log" 2>&1 &
  ircd_pid=$!
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "irc: ngircd did not start:"; cat "$work/ngircd.log"; exit 1
}

