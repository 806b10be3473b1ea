#!/usr/bin/env python3
"""TFTP load for the lab: many slow readers at once, or a burst of requests.

Built from RFC 1350 alone (it shares no code with the tool). Run it inside
the lab's device namespace:

  tftp_load.py slow --server IP --file NAME [--count 20] [--ack-delay 0.02]
        [--flowing FILE] [--idle 8] [--max-seconds 120] [--bind A]
      COUNT fetches at once, each acknowledging every block ACK-DELAY seconds
      after it arrived, so the transfers stay in flight. Once every fetch has
      had five blocks, FLOWING is created. Ends when every fetch has ended
      (last block, error packet) or nothing arrived for IDLE seconds, and
      prints one JSON object per fetch: blocks, complete, error. The fetches
      come from address A (the namespace's own choice by default).

  tftp_load.py burst --server IP --file NAME --count N [--rate R] [--listen S] [--bind A[,B...]]
      N read requests from one socket, as fast as possible or R per second,
      never acknowledged; then listens S seconds more (default 2) and prints
      one JSON object: requests sent, transfers that sent their first data
      block, and the error packets received counted by their text. The
      requests come from the addresses given, in turn (the namespace's own).
"""

import argparse
import json
import os
import select
import socket
import struct
import sys
import time

BLOCK = 512


class Fetch:
    def __init__(self, server, name, address="0.0.0.0"):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((address, 0))
        self.sock.sendto(struct.pack("!H", 1) + name.encode() + b"\0octet\0", (server, 69))
        self.peer = None
        self.expected = 1
        self.blocks = 0
        self.complete = False
        self.error = None
        self.ack_due = None  # (time, block)

    @property
    def ended(self):
        return self.complete or self.error is not None

    def take(self, data, peer):
        if len(data) < 4:
            return
        opcode, word = struct.unpack_from("!HH", data)
        if opcode == 5:
            self.error = data[4:].split(b"\0")[0].decode(errors="replace")
        elif opcode == 3 and word == (self.expected & 0xFFFF):
            self.peer = peer
            self.blocks += 1
            self.expected += 1
            self.complete = len(data) - 4 < BLOCK
            self.ack_due = (time.monotonic(), word)

    def send_due_ack(self, now, delay):
        if self.ack_due and now >= self.ack_due[0] + delay:
            self.sock.sendto(struct.pack("!HH", 4, self.ack_due[1]), self.peer)
            self.ack_due = None

    def report(self):
        return {"blocks": self.blocks, "complete": self.complete, "error": self.error}


def slow(args):
    fetches = [Fetch(args.server, args.file, args.bind) for _ in range(args.count)]
    by_socket = {f.sock: f for f in fetches}
    start = last_heard = time.monotonic()
    flowing = False
    while time.monotonic() - start < args.max_seconds:
        now = time.monotonic()
        for f in fetches:
            f.send_due_ack(now, args.ack_delay)
        if all(f.ended for f in fetches) or (flowing and now - last_heard > args.idle):
            break
        readable, _, _ = select.select([f.sock for f in fetches if not f.ended], [], [], min(args.ack_delay, 0.05))
        for sock in readable:
            data, peer = sock.recvfrom(65536)
            by_socket[sock].take(data, peer)
            last_heard = time.monotonic()
        if not flowing and all(f.blocks >= 5 for f in fetches):
            flowing = True
            if args.flowing:
                open(args.flowing, "w").close()
    for f in fetches:
        print(json.dumps(f.report()))
    return 0


def burst(args):
    socks = []
    for address in args.bind.split(","):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
        sock.bind((address, 0))
        socks.append(sock)
    request = struct.pack("!H", 1) + args.file.encode() + b"\0octet\0"
    data_blocks, errors = 0, {}
    first_seen = {}  # transfer (address, port) -> when its block 1 came; again within 10 s: a retransmission

    def take(data, peer):
        nonlocal data_blocks
        opcode = struct.unpack_from("!H", data)[0] if len(data) >= 2 else 0
        if opcode == 3 and len(data) >= 4 and struct.unpack_from("!H", data, 2)[0] == 1:
            now = time.monotonic()
            if now - first_seen.get(peer, -100) > 10:
                data_blocks += 1
            first_seen[peer] = now
        elif opcode == 5:
            text = data[4:].split(b"\0")[0].decode(errors="replace")
            errors[text] = errors.get(text, 0) + 1

    def drain(timeout):
        while True:
            readable = select.select(socks, [], [], max(timeout, 0))[0]
            if not readable:
                return
            for sock in readable:
                take(*sock.recvfrom(65536))
            timeout = 0

    start = time.monotonic()
    for i in range(args.count):
        if args.rate:
            due = start + i / args.rate
            while time.monotonic() < due:
                drain(due - time.monotonic())
        socks[i % len(socks)].sendto(request, (args.server, 69))
        if i % 64 == 63:
            drain(0)
    end = time.monotonic() + args.listen
    while time.monotonic() < end:
        drain(0.05)
    print(json.dumps({"requests": args.count, "seconds": round(time.monotonic() - start, 2),
                      "transfers": data_blocks, "errors": errors}))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("slow")
    p.add_argument("--server", required=True)
    p.add_argument("--file", required=True)
    p.add_argument("--count", type=int, default=20)
    p.add_argument("--ack-delay", type=float, default=0.02)
    p.add_argument("--flowing")
    p.add_argument("--idle", type=float, default=8)
    p.add_argument("--max-seconds", type=float, default=120)
    p.add_argument("--bind", default="0.0.0.0")
    p = sub.add_parser("burst")
    p.add_argument("--server", required=True)
    p.add_argument("--file", required=True)
    p.add_argument("--count", type=int, required=True)
    p.add_argument("--rate", type=float, default=0)
    p.add_argument("--listen", type=float, default=2)
    p.add_argument("--bind", default="0.0.0.0")
    args = parser.parse_args()
    return slow(args) if args.command == "slow" else burst(args)


if __name__ == "__main__":
    sys.exit(main())
