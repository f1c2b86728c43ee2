#!/usr/bin/env python3
"""A scripted IRC client for the end-to-end tests of morvane-irc.

Reads steps from standard input, one per line, and prints a transcript: every
PRIVMSG and NOTICE it receives as "SECONDS [TARGET] <FROM> TEXT", notes as
"-- ...", and "FAIL: ..." for every check that fails (then exits 1). Each
received line is checked: at most 512 bytes with its CR LF, and UTF-8.

  connect NICK PORT            the chat user's connection to 127.0.0.1:PORT
  hold NICK                    a second connection that only keeps NICK taken
  join #CHAN                   join and wait for the channel's member list
  ready PATH                   create PATH (the test waits for it)
  await-member NICK #CHAN S    wait up to S seconds until NICK is in #CHAN
  say TARGET TEXT...           PRIVMSG TARGET :TEXT (starts a new collection)
  expect FROM TARGET N S       wait up to S seconds for N messages from FROM
                               to TARGET since the last say; prints the count,
                               the time they took and the gaps between them
  quiet S                      wait S seconds, printing what arrives
"""
import select
import socket
import sys
import time

START = time.monotonic()
failed = False


def now():
    return time.monotonic() - START


def out(text):
    print(text, flush=True)


def fail(text):
    global failed
    failed = True
    out("FAIL: " + text)


def lower(name):
    return name.lower().translate(str.maketrans("[]\\~", "{}|^"))


class Conn:
    def __init__(self, nick, port):
        self.nick = nick
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.buf = b""
        self.registered = False
        self.send(f"NICK {nick}")
        self.send(f"USER {nick} 0 * :test client")

    def send(self, line):
        self.sock.sendall(line.encode() + b"\r\n")

    def lines(self, timeout):
        """Whole lines received within the timeout (bytes, without CR LF)."""
        ready, _, _ = select.select([self.sock], [], [], max(timeout, 0))
        if not ready:
            return []
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError(f"{self.nick}: the server closed the connection")
        self.buf += data
        *done, self.buf = self.buf.split(b"\n")
        return done


members = {}    # lower(channel) -> set of lower(nick)
received = []   # (time, from, target, text) since the last say
main = None
extra = []


def handle(conn, raw):
    if len(raw) + 1 > 512:
        fail(f"a line of {len(raw) + 1} bytes: {raw[:80]!r}")
    try:
        line = raw.rstrip(b"\r").decode("utf-8")
    except UnicodeDecodeError:
        fail(f"not UTF-8: {raw!r}")
        line = raw.rstrip(b"\r").decode("utf-8", "replace")
    prefix = ""
    if line.startswith(":"):
        prefix, _, line = line[1:].partition(" ")
    head, _, trailing = line.partition(" :")
    words = head.split()
    if not words:
        return
    params = words[1:] + ([trailing] if " :" in line else [])
    command, sender = words[0], prefix.split("!")[0]
    if command == "PING":
        conn.send("PONG :" + (params[0] if params else ""))
    elif command == "001":
        conn.registered = True
    elif conn is not main:
        return
    elif command == "353":
        members.setdefault(lower(params[2]), set()).update(
            lower(n.lstrip("@+")) for n in params[3].split())
    elif command == "JOIN":
        members.setdefault(lower(params[0]), set()).add(lower(sender))
        if lower(sender) != lower(main.nick):
            out(f"-- {sender} joins {params[0]}")
    elif command in ("PART", "QUIT"):
        for names in members.values():
            names.discard(lower(sender))
    elif command in ("PRIVMSG", "NOTICE"):
        out(f"{now():.3f} [{params[0]}] <{sender}> {params[1]}")
        received.append((now(), lower(sender), lower(params[0]), params[1]))


def pump(seconds, until=lambda: False):
    end = now() + seconds
    while not until():
        left = end - now()
        if left <= 0:
            return False
        for conn in [main] + extra:
            for raw in conn.lines(min(left, 0.05)):
                handle(conn, raw)
    return True


def report(lines):
    times = [t for t, *_ in lines]
    gaps = [b - a for a, b in zip(times, times[1:])]
    paced = gaps[3:]
    out(f"-- {len(lines)} lines in {times[-1] - times[0]:.3f} s; smallest gap after "
        f"the first 4: {min(paced):.3f} s" if paced else f"-- {len(lines)} lines")


def run(step):
    global main
    words = step.split()
    if not words or words[0].startswith("#"):
        return
    kind, args = words[0], words[1:]
    if kind == "connect":
        main = Conn(args[0], int(args[1]))
        if not pump(15, lambda: main.registered):
            fail(f"{args[0]} not registered")
    elif kind == "hold":
        extra.append(Conn(args[0], main.sock.getpeername()[1]))
        if not pump(15, lambda: extra[-1].registered):
            fail(f"{args[0]} not registered")
    elif kind == "join":
        main.send("JOIN " + args[0])
        if not pump(10, lambda: lower(args[0]) in members):
            fail(f"no member list of {args[0]}")
    elif kind == "ready":
        open(args[0], "w").close()
    elif kind == "await-member":
        if pump(float(args[2]), lambda: lower(args[0]) in members.get(lower(args[1]), ())):
            out(f"-- {args[0]} is in {args[1]}")
        else:
            fail(f"{args[0]} did not come to {args[1]} within {args[2]} s")
    elif kind == "say":
        received.clear()
        text = step.split(None, 2)[2]
        out(f"{now():.3f} > [{args[0]}] {text}")
        main.send(f"PRIVMSG {args[0]} :{text}")
    elif kind == "expect":
        who, where, count = lower(args[0]), lower(args[1]), int(args[2])
        mine = lambda: [r for r in received if r[1] == who and r[2] == where]
        if pump(float(args[3]), lambda: len(mine()) >= count):
            report(mine())
        else:
            fail(f"{len(mine())} of {count} lines from {args[0]} to {args[1]} "
                 f"within {args[3]} s")
    elif kind == "quiet":
        pump(float(args[0]))
    else:
        fail("unknown step: " + step)


def main_loop():
    for step in sys.stdin.read().splitlines():
        try:
            run(step.strip())
        except (OSError, ConnectionError) as error:
            fail(f"{step.strip()}: {error}")
            break
    for conn in [main] + extra:
        if conn:
            try:
                conn.send("QUIT :done")
            except OSError:
                pass
    sys.exit(1 if failed else 0)


main_loop()
