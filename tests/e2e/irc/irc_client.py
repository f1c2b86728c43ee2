#!/usr/bin/env python3
"""A scripted IRC client for the end-to-end tests of morvane-irc.

Reads steps from standard input (see run() below) and prints a transcript:
each PRIVMSG and NOTICE received as "SECONDS [TARGET] <FROM> TEXT", notes as
"-- ...", and "FAIL: ..." for each failed check (then exits 1). Every line
received must be UTF-8 and at most 512 bytes with its CR LF.
"""
import select
import socket
import sys
import time

START = time.monotonic()
failed = False
members = {}    # lower(channel) -> set of lower(nick)
received = []   # (time, lower(from), lower(target), text) since the last say
main, extra = None, []


def now(): return time.monotonic() - START
def out(text): print(text, flush=True)
def lower(name): return name.lower().translate(str.maketrans("[]\\~", "{}|^"))


def fail(text):
    global failed
    failed = True
    out("FAIL: " + text)


class Conn:
    def __init__(self, nick, port):
        self.nick, self.buf, self.registered = nick, b"", False
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.send(f"NICK {nick}")
        self.send(f"USER {nick} 0 * :test client")

    def send(self, line): self.sock.sendall(line.encode() + b"\r\n")

    def lines(self, timeout):
        if not select.select([self.sock], [], [], max(timeout, 0))[0]:
            return []
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError(f"{self.nick}: the server closed the connection")
        *done, self.buf = (self.buf + data).split(b"\n")
        return done


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
    elif command == "KICK":
        members.get(lower(params[0]), set()).discard(lower(params[1]))
    elif command in ("PRIVMSG", "NOTICE"):
        out(f"{now():.3f} [{params[0]}] <{sender}> {params[1]}")
        received.append((now(), lower(sender), lower(params[0]), params[1], command))
    elif command == "NICK":
        for names in members.values():
            if lower(sender) in names:
                names.discard(lower(sender))
                names.add(lower(params[0]))


def pump(seconds, until):
    end = now() + seconds
    while not until():
        if now() >= end:
            return False
        for conn in [main] + extra:
            for raw in conn.lines(min(end - now(), 0.05)):
                handle(conn, raw)
    return True


def run(step):
    global main
    kind, *args = step.split() or [""]
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
        mine = lambda: [r for r in received if r[1:3] == (lower(args[0]), lower(args[1]))]
        if not pump(float(args[3]), lambda: len(mine()) >= int(args[2])):
            return fail(f"{len(mine())} of {args[2]} lines from {args[0]} to {args[1]} "
                        f"within {args[3]} s")
        times = [t for t, *_ in mine()]
        gaps = [b - a for a, b in zip(times, times[1:])][3:]
        out(f"-- {len(times)} lines in {times[-1] - times[0]:.3f} s" +
            (f"; smallest gap after the first 4: {min(gaps):.3f} s" if gaps else ""))
    elif kind == "ctcp":
        received.clear()
        request = " ".join(args[1:])
        out(f"{now():.3f} > [{args[0]}] CTCP {request}")
        main.send(f"PRIVMSG {args[0]} :\x01{request}\x01")
    elif kind == "quiet":  # quiet FROM TARGET SECONDS: nothing from FROM to TARGET
        received.clear()
        mine = lambda: [r for r in received if r[1:3] == (lower(args[0]), lower(args[1]))]
        pump(float(args[2]), lambda: bool(mine()))
        if mine():
            fail(f"{args[0]} said {mine()[0][3]!r} to {args[1]}, which should get no answer")
    elif kind in ("kick", "invite", "mode"):
        main.send(f"{kind.upper()} {' '.join(args)}")
    elif kind == "as":  # as NICK LINE: a held connection sends a line
        conn = next(c for c in extra if lower(c.nick) == lower(args[0]))
        conn.send(step.split(None, 2)[2])
    elif kind == "expect-notice":  # expect-notice FROM SECONDS TEXT...
        text = step.split(None, 3)[3]
        if not pump(float(args[1]), lambda: any(r[1] == lower(args[0]) and r[4] == "NOTICE"
                                                and text in r[3] for r in received)):
            fail(f"no notice \"{text}\" from {args[0]} within {args[1]} s")
    elif kind == "raw":
        main.send(step.split(None, 1)[1])
    elif kind == "release":  # release NICK: the held connection quits
        held = [c for c in extra if lower(c.nick) == lower(args[0])]
        if not held:
            return fail(f"no connection holds {args[0]}")
        held[0].send("QUIT :released")
        extra.remove(held[0])
        held[0].sock.close()
    elif kind:
        fail("unknown step: " + step)


for step in sys.stdin.read().splitlines():
    try:
        run(step.strip())
    except (OSError, ConnectionError) as error:
        fail(f"{step.strip()}: {error}")
        break
for conn in [c for c in [main] + extra if c]:
    try:
        conn.send("QUIT :done")
    except OSError:
        pass
sys.exit(1 if failed else 0)
