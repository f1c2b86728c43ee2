#!/usr/bin/env python3
"""Writes each fuzz target's seed corpus into OUT/<target>/: captured
replies of real servers (from the fixtures beside the project), GoldSrc-form
split replies cut from them, Minecraft streams and pongs, MTA:SA replies,
FiveM replies and players.json in HTTP replies, settings files and host
records.
Usage: fuzz-seeds.py FIXTURES_DIR EXAMPLES_DIR OUT"""
import os
import struct
import sys


def hex_datagrams(path):
    out = []
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line[0] in "<>":
                if line[0] == ">":
                    continue
                line = line[1:].strip()
            out.append(bytes.fromhex(line))
    return out


def framed(datagrams):
    """Datagrams as the reply fuzz target reads them: a 16-bit length each."""
    return b"".join(struct.pack("<H", len(d)) + d for d in datagrams)


def goldsrc_pieces(chunks, reply_id):
    """The chunks of a whole reply (FF FF FF FF and the type byte first) as
    pieces of the GoldSrc form: FE FF FF FF, the id, one byte of number (high
    four bits) and total (low four bits), the payload."""
    return [struct.pack("<II", 0xFFFFFFFE, reply_id) + bytes([n << 4 | len(chunks)]) + chunk
            for n, chunk in enumerate(chunks)]


def goldsrc_split(reply, reply_id, count):
    size = -(-len(reply) // count)
    return goldsrc_pieces([reply[i:i + size] for i in range(0, len(reply), size)], reply_id)


def text(s):
    data = s.encode("utf-16-le")
    return struct.pack("<i", len(data) // 2) + data


def integer(v):
    return struct.pack("<i", v)


def user(name, ip=""):
    return text(name) + text(ip) + integer(0)


def main():
    fixtures, examples, out = sys.argv[1:4]
    seeds = {"reply_fuzz": [], "settings_fuzz": [], "plugin_process_fuzz": []}

    kinds = [("a2s_info", 0), ("a2s_challenge", 0), ("a2s_player", 1), ("a2s_split_rules", 1),
             ("q3_status", 2), ("q3_status", 3), ("samp", 4), ("samp", 5), ("synthetic", 4), ("synthetic", 5)]
    if os.path.isdir(fixtures):
        for folder, selector in kinds:
            base = os.path.join(fixtures, folder)
            for root, _, files in os.walk(base):
                for name in sorted(files):
                    if name.endswith(".hex"):
                        datagrams = hex_datagrams(os.path.join(root, name))
                        # One seed per datagram, and the pieces of a split
                        # reply together, last first, as one item gets them.
                        for datagram in datagrams:
                            seeds["reply_fuzz"].append(bytes([selector]) + framed([datagram]))
                        if len(datagrams) > 1:
                            seeds["reply_fuzz"].append(bytes([selector]) + framed(datagrams[::-1]))

        # Few GoldSrc-form split captures exist, so whole info and player
        # replies are cut into three GoldSrc pieces: in order, last first,
        # with a repeat before piece 0, and after a piece of another id.
        for folder, selector in [("a2s_info", 0), ("a2s_player", 1)]:
            base = os.path.join(fixtures, folder)
            for name in sorted(os.listdir(base)):
                if not name.endswith(".hex"):
                    continue
                datagrams = hex_datagrams(os.path.join(base, name))
                if len(datagrams) != 1 or not datagrams[0].startswith(b"\xff\xff\xff\xff"):
                    continue
                pieces = goldsrc_split(datagrams[0], 0x4AC1, 3)
                foreign = goldsrc_split(datagrams[0], 0x4AC2, 3)
                for order in (pieces, pieces[::-1], [pieces[-1]] + pieces[::-1],
                              [foreign[0]] + pieces[::-1]):
                    seeds["reply_fuzz"].append(bytes([selector]) + framed(order))

    # Two players, the second with no name and a score of -1, cut so that
    # piece 1 (00 01 00 FF FF FF FF ...) also passes for a Source piece 0;
    # it comes first.
    head = b"\xff\xff\xff\xff\x44\x02\x00Ann\x00" + struct.pack("<i", 5) + b"\x00" * 3
    tail = b"\x00\x01\x00" + struct.pack("<if", -1, 1.0)
    seeds["reply_fuzz"].append(b"\x01" + framed(goldsrc_pieces([head, tail], 7)[::-1]))
    # The parsers alone read the same input as the handlers.
    seeds["games_fuzz"] = list(seeds["reply_fuzz"])

    # Minecraft: each Java reply as one stream (its reads joined), a JSON
    # body by itself, each Bedrock pong; each MTA:SA reply.
    for folder, target in [("minecraft_java", "minecraft_java_fuzz"),
                           ("minecraft_bedrock", "minecraft_bedrock_fuzz"),
                           ("mta", "mta_fuzz")]:
        seeds[target] = []
        base = os.path.join(fixtures, folder)
        for name in sorted(os.listdir(base)) if os.path.isdir(base) else []:
            path = os.path.join(base, name)
            if name.endswith(".hex"):
                seeds[target].append(b"".join(hex_datagrams(path)))
            elif name.endswith(".json") and not name.endswith(".expected.json"):
                with open(path, "rb") as f:
                    seeds[target].append(f.read())

    # FiveM: each getinfo reply; players.json in HTTP replies of each body
    # form (a length, chunks with an extension and a trailer, to the close).
    seeds["fivem_info_fuzz"] = []
    seeds["http_reply_fuzz"] = []
    base = os.path.join(fixtures, "fivem")
    for name in sorted(os.listdir(base)) if os.path.isdir(base) else []:
        path = os.path.join(base, name)
        if name.endswith(".hex"):
            seeds["fivem_info_fuzz"].extend(hex_datagrams(path))
        elif name.endswith(".json") and not name.endswith(".expected.json"):
            with open(path, "rb") as f:
                body = f.read()
            seeds["http_reply_fuzz"] += [
                b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body,
                b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                + b"".join(b"%x;x=1\r\n" % len(body[i:i + 100]) + body[i:i + 100] + b"\r\n"
                           for i in range(0, len(body), 100))
                + b"0\r\nX-T: 1\r\n\r\n",
                b"HTTP/1.0 200 OK\nContent-Type: application/json\n\n" + body]
    seeds["http_reply_fuzz"].append(b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 403 Forbidden\r\n\r\n")

    for name in sorted(os.listdir(examples)) if os.path.isdir(examples) else []:
        if name.endswith(".ini"):
            with open(os.path.join(examples, name), "rb") as f:
                seeds["settings_fuzz"].append(f.read())
    seeds["settings_fuzz"].append("\ufeff[Main]\r\nFormat=a:;b&&c\r\nMaxQueue=0x10\r\n[Event_0]\r\nType=3\r\nAddr=x\r\nGame=hl\r\n".encode("utf-16-le"))

    # Code selectors: 0..6 are 3, 5, 10, 1061, 1070, 1078, 1079; the high bit
    # chooses virtual-user mode.
    direct = [
        (0, integer(2)),
        (1, user("alice", "10.0.0.1") + text("main") + integer(0) + text("/gs hl 127.0.0.1:1")),
        (1, user("bob") + text("main") + integer(0) + text("!S")),
        (2, user("root") + integer(3) + text("/reload")),
        (2, user("alice") + integer(3) + text("/gs tcp 127.0.0.1:1, x")),
    ]
    virtual = [
        (3, text("Morvane") + user("root") + text("/reload")),
        (4, text("Morvane") + user("alice") + text("main") + integer(0) + text("/GS SAPL a")),
        (5, user("Morvane", "N/A")),
        (6, user("Morvane", "N/A")),
    ]
    for selector, record in direct:
        seeds["plugin_process_fuzz"].append(bytes([selector]) + record)
    for selector, record in virtual:
        seeds["plugin_process_fuzz"].append(bytes([0x80 | selector]) + record)

    for target, items in seeds.items():
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for i, data in enumerate(items):
            with open(os.path.join(folder, "seed-%03d" % i), "wb") as f:
                f.write(data)
        print("fuzz-seeds: %s: %d seeds" % (target, len(items)))


if __name__ == "__main__":
    main()
