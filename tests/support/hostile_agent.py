#!/usr/bin/env python3
"""A scripted hostile SNMP agent for tests, on a free UDP port of 127.0.0.1 only.

It runs as a process of its own, so it keeps answering while the program under test is
blocked. Prints "PORT <n>" on a line of standard output once it listens, then serves until
standard input closes (the test ending) or it is killed.

Modes (first argument):
  time      every SNMPv3 message gets a usmStatsNotInTimeWindows report, for ever
  engine    every SNMPv3 message gets a usmStatsUnknownEngineIDs report, each time with
            a new engine ID
  decrypt   every SNMPv3 message gets a usmStatsDecryptionErrors report
  cycle     the three reports above in turn
  bigdescr  v1/v2c walk: endless ifDescr rows of 65,000 octets each, one row per reply
  slow      v1/v2c walk: endless short ifDescr rows, one row per reply, each reply
            after --delay seconds (default 1.9)
  counter32 an SNMPv3 agent at noAuthNoPriv (any user) that answers every binding of a Get
            with Counter32 1000, the 64-bit counters' OIDs included; its engine ID is
            found the usual way (an unknownEngineIDs report to a request without one)
  proxy     a real agent far away: every datagram is passed on to 127.0.0.1:--to PORT
            after --delay seconds, and the agent's replies are passed back at once

Only the BER needed for these replies is written here; the test fixture is not a model
of a correct agent.
"""

import os
import select
import socket
import sys
import threading
import time

USM_STATS = (1, 3, 6, 1, 6, 3, 15, 1, 1)
NOT_IN_TIME_WINDOWS = USM_STATS + (2, 0)
UNKNOWN_ENGINE_IDS = USM_STATS + (4, 0)
DECRYPTION_ERRORS = USM_STATS + (6, 0)
IF_DESCR = (1, 3, 6, 1, 2, 1, 2, 2, 1, 2)
SYS_NAME = (1, 3, 6, 1, 2, 1, 1, 5)

GET, GETNEXT, RESPONSE, GETBULK, REPORT = 0xA0, 0xA1, 0xA2, 0xA5, 0xA8


# --- BER writing ---------------------------------------------------------------------------

def length(n):
    if n < 0x80:
        return bytes([n])
    body = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def tlv(tag, content):
    return bytes([tag]) + length(len(content)) + content


def integer(value, tag=0x02):
    size = 1
    while not -(1 << (8 * size - 1)) <= value < (1 << (8 * size - 1)):
        size += 1
    return tlv(tag, value.to_bytes(size, "big", signed=True))


def unsigned(value, tag):
    body = value.to_bytes(max(1, (value.bit_length() + 7) // 8), "big")
    if body[0] & 0x80:
        body = b"\0" + body
    return tlv(tag, body)


def octets(data):
    return tlv(0x04, data)


def oid(parts):
    body = bytearray([40 * parts[0] + parts[1]])
    for part in parts[2:]:
        chunk = [part & 0x7F]
        part >>= 7
        while part:
            chunk.append(0x80 | (part & 0x7F))
            part >>= 7
        body += bytes(reversed(chunk))
    return tlv(0x06, bytes(body))


def sequence(*items):
    return tlv(0x30, b"".join(items))


def binding(name, value):
    return sequence(oid(name), value)


def pdu(tag, request_id, bindings, error_status=0, error_index=0):
    return tlv(tag, integer(request_id) + integer(error_status) + integer(error_index)
               + sequence(*bindings))


# --- BER reading ---------------------------------------------------------------------------

def read_tlv(data, at):
    """(tag, content start, content end) of the TLV at data[at]."""
    tag = data[at]
    first = data[at + 1]
    at += 2
    if first & 0x80:
        count = first & 0x7F
        size = int.from_bytes(data[at:at + count], "big")
        at += count
    else:
        size = first
    if at + size > len(data):
        raise ValueError("short")
    return tag, at, at + size


def children(data, start, end):
    items = []
    while start < end:
        tag, begin, finish = read_tlv(data, start)
        items.append((tag, begin, finish))
        start = finish
    return items


def read_int(data, begin, end):
    return int.from_bytes(data[begin:end], "big", signed=True)


def read_oid(body):
    parts = [body[0] // 40, body[0] % 40]
    value = 0
    for byte in body[1:]:
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            parts.append(value)
            value = 0
    return tuple(parts)


def parse(data):
    """The parts of a request a reply needs, or None."""
    _, begin, end = read_tlv(data, 0)
    top = children(data, begin, end)
    version = read_int(data, top[0][1], top[0][2])
    request = {"version": version}
    if version == 3:
        header = children(data, top[1][1], top[1][2])
        request["msg_id"] = read_int(data, header[0][1], header[0][2])
        request["flags"] = data[header[2][1]] if header[2][2] > header[2][1] else 0
        _, sb, se = top[2]
        _, ub, ue = read_tlv(data, sb)
        usm = children(data, ub, ue)
        request["engine"] = bytes(data[usm[0][1]:usm[0][2]])
        request["user"] = bytes(data[usm[3][1]:usm[3][2]])
        tag, b, e = top[3]
        request["request_id"] = 0
        request["names"] = []
        if tag == 0x30:  # a plain scoped PDU; an encrypted one cannot be read
            scoped = children(data, b, e)
            if len(scoped) >= 3:
                request["pdu"] = scoped[2][0]
                fields = children(data, scoped[2][1], scoped[2][2])
                request["request_id"] = read_int(data, fields[0][1], fields[0][2])
                for _, vb, ve in children(data, fields[3][1], fields[3][2]):
                    name = children(data, vb, ve)[0]
                    request["names"].append(read_oid(data[name[1]:name[2]]))
        return request
    request["community"] = data[top[1][1]:top[1][2]]
    tag, b, e = top[2]
    fields = children(data, b, e)
    request["pdu"] = tag
    request["request_id"] = read_int(data, fields[0][1], fields[0][2])
    names = []
    for _, vb, ve in children(data, fields[3][1], fields[3][2]):
        name = children(data, vb, ve)[0]
        names.append(read_oid(data[name[1]:name[2]]))
    request["names"] = names
    return request


# --- replies -------------------------------------------------------------------------------

class Reports:
    def __init__(self, mode):
        self.mode = mode
        self.count = 0
        self.started = time.monotonic()

    def reply(self, request):
        self.count += 1
        mode = self.mode
        if mode == "cycle":
            mode = ("time", "engine", "decrypt")[self.count % 3]
        engine = b"\x80\x00\x1f\x88\x04hostile"
        if mode == "engine":
            engine = b"\x80\x00\x1f\x88\x04" + self.count.to_bytes(8, "big")
        which = {"time": NOT_IN_TIME_WINDOWS, "engine": UNKNOWN_ENGINE_IDS,
                 "decrypt": DECRYPTION_ERRORS}[mode]
        boots = 1
        seconds = int(time.monotonic() - self.started)
        security = sequence(octets(engine), integer(boots), integer(seconds), octets(b""),
                            octets(b""), octets(b""))
        report = pdu(REPORT, request["request_id"], [binding(which, unsigned(self.count, 0x41))])
        scoped = sequence(octets(engine), octets(b""), report)
        header = sequence(integer(request["msg_id"]), integer(65507), octets(b"\x00"),
                          integer(3))
        return sequence(integer(3), header, octets(security), scoped)


def v3_message(request, engine, seconds, user, scoped_pdu):
    security = sequence(octets(engine), integer(1), integer(seconds), octets(user),
                        octets(b""), octets(b""))
    header = sequence(integer(request["msg_id"]), integer(65507), octets(b"\x00"), integer(3))
    return sequence(integer(3), header, octets(security),
                    sequence(octets(engine), octets(b""), scoped_pdu))


def counter32_reply(request, started):
    engine = b"\x80\x00\x1f\x88\x04counter32"
    seconds = int(time.monotonic() - started)
    if request["engine"] != engine or request.get("pdu") is None:
        report = pdu(REPORT, request["request_id"], [binding(UNKNOWN_ENGINE_IDS, unsigned(1, 0x41))])
        return v3_message(request, engine, seconds, b"", report)
    bindings = [binding(name, unsigned(1000, 0x41)) for name in request["names"]]
    return v3_message(request, engine, seconds, request["user"],
                      pdu(RESPONSE, request["request_id"], bindings))


def next_row(name):
    """The ifDescr index after name in a walk: endless rows 1, 2, 3, ..."""
    if name[:len(IF_DESCR)] == IF_DESCR:
        return name[len(IF_DESCR)] + 1 if len(name) > len(IF_DESCR) else 1
    if name < IF_DESCR:
        return 1
    return None  # past the column: the walk's other columns end at once


def walk_reply(request, value_of):
    version = request["version"]
    bindings = []
    error = 0
    for name in request["names"][:1]:
        if request["pdu"] == GET:
            bindings.append(binding(name, octets(b"hostile")))
            continue
        if name[:len(SYS_NAME)] == SYS_NAME and len(name) == len(SYS_NAME):
            bindings.append(binding(SYS_NAME + (0,), octets(b"hostile")))
            continue
        row = next_row(name)
        if row is None or row > 0xFFFFFFFF:
            if version == 0:
                error = 2  # noSuchName
                bindings.append(binding(name, b"\x05\x00"))
            else:
                bindings.append(binding(name, b"\x82\x00"))  # endOfMibView
            continue
        bindings.append(binding(IF_DESCR + (row,), octets(value_of(row))))
    return sequence(integer(version), octets(request["community"]),
                    pdu(RESPONSE, request["request_id"], bindings, error, 1 if error else 0))


def proxy(sock, target_port, delay):
    """Each client gets a socket of its own towards the agent, so replies find their way."""
    upstream = {}  # client address -> socket towards the agent
    lock = threading.Lock()

    def pass_on(data, peer):
        with lock:
            out = upstream.get(peer)
            if out is None:
                out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                out.bind(("127.0.0.1", 0))
                upstream[peer] = out
        out.sendto(data, ("127.0.0.1", target_port))

    while True:
        with lock:
            sockets = {s: p for p, s in upstream.items()}
        ready, _, _ = select.select([sock] + list(sockets), [], [], 0.2)
        for ready_sock in ready:
            data, source = ready_sock.recvfrom(65535)
            if ready_sock is sock:
                threading.Timer(delay, pass_on, (data, source)).start()
            elif source == ("127.0.0.1", target_port):
                sock.sendto(data, sockets[ready_sock])


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else "time"
    delay = 1.9
    if "--delay" in sys.argv:
        delay = float(sys.argv[sys.argv.index("--delay") + 1])
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))
    print("PORT %d" % sock.getsockname()[1], flush=True)

    # The test closes standard input (or dies): the agent ends with it.
    def watch_stdin():
        try:
            while sys.stdin.buffer.read(1):
                pass
        finally:
            os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()

    if mode == "proxy":
        proxy(sock, int(sys.argv[sys.argv.index("--to") + 1]), delay)
        return

    reports = Reports(mode)
    big = b"x" * 65000
    while True:
        ready, _, _ = select.select([sock], [], [], 1.0)
        if not ready:
            continue
        data, peer = sock.recvfrom(65535)
        try:
            request = parse(data)
            if mode in ("time", "engine", "decrypt", "cycle"):
                if request["version"] != 3:
                    continue
                answer = reports.reply(request)
            elif mode == "counter32":
                if request["version"] != 3:
                    continue
                answer = counter32_reply(request, reports.started)
            elif mode == "bigdescr":
                if request["version"] == 3:
                    continue
                answer = walk_reply(request, lambda row: big)
            else:  # slow
                if request["version"] == 3:
                    continue
                time.sleep(delay)
                answer = walk_reply(request, lambda row: b"slow-%d" % row)
        except (IndexError, ValueError) as error:
            if os.environ.get("HOSTILE_AGENT_DEBUG"):
                print("unreadable", data.hex(), repr(error), file=sys.stderr, flush=True)
            continue
        if os.environ.get("HOSTILE_AGENT_DEBUG"):
            print("request", request, "answer", answer.hex(), file=sys.stderr, flush=True)
        sock.sendto(answer, peer)


if __name__ == "__main__":
    main()
