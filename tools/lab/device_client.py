#!/usr/bin/env python3
"""A small workstation-side client of the device protocol, for the lab.

Built from the message layouts alone (it shares no code with the tool), so
that tests of the simulator check the bytes on the wire. Run it inside the
lab's workstation namespace:

  device_client.py search [--range FIRST LAST] [--wait S] [--expect N]
  device_client.py change --to IP (--direct | --group NUMBER) --present IP
        --new-ip IP --mask M --gateway G --server S --standby S
        [--bad-checksum] [--wait S]
  device_client.py upgrade --to IP
  device_client.py boot-reply --file NAME --server IP [--yiaddr IP] [--wait S]
        [--count N]

Every reply received is printed as one JSON object per line.
"""

import argparse
import json
import select
import socket
import struct
import sys
import time

COMMAND_PORT = 25000
REPLY_PORT = 25005
COMMAND_GROUP = "224.0.2.0"
REPLY_GROUP = "224.0.3.0"
UPGRADE_MARKER = 0x969B929B


def number_form(text):
    """Dotted address to the 32-bit number whose top byte is the first octet."""
    return struct.unpack("!I", socket.inet_aton(text))[0]


def from_number_form(value):
    return socket.inet_ntoa(struct.pack("!I", value))


def from_octet_form(raw):
    return socket.inet_ntoa(raw)


def version_text(raw):
    return "%d.%d.%d.%d" % (raw[3] + 2000, raw[2], raw[1], raw[0])


def parse_reply(data):
    """Takes a reply apart by code and exact length; None for anything else."""
    if len(data) < 5:
        return None
    code = data[4]
    if code == 0xF1 and len(data) in (52, 56):
        number, ip, mask, gateway = struct.unpack_from("<iIII", data, 8)[0], *struct.unpack_from("<III", data, 16)
        reply = {
            "kind": "search-reply", "code": code, "len": len(data), "number": number,
            "ip": from_number_form(ip), "mask": from_number_form(mask), "gateway": from_number_form(gateway),
            "server": from_octet_form(data[28:32]), "standby": from_octet_form(data[32:36]),
            "version": version_text(data[44:48]), "length_field": struct.unpack_from("<I", data, 0)[0],
        }
        reply["type"] = struct.unpack_from("<i", data, 52)[0] if len(data) == 56 else None
        return reply
    if code == 0xF0 and len(data) == 20:
        number, result = struct.unpack_from("<i", data, 8)[0], struct.unpack_from("<I", data, 16)[0]
        return {"kind": "change-result-short", "code": code, "len": 20, "number": number, "result": result}
    if code == 0xF2 and len(data) == 52:
        number, shown, result, ip, mask, gateway = struct.unpack_from("<iiIIII", data, 8)
        return {
            "kind": "change-result-full", "code": code, "len": 52, "number": number, "shown_number": shown,
            "result": result, "ip": from_number_form(ip), "mask": from_number_form(mask),
            "gateway": from_number_form(gateway), "server": from_octet_form(data[32:36]),
            "standby": from_octet_form(data[36:40]),
        }
    return {"kind": "unrecognised", "code": code, "len": len(data)}


def device_socket():
    """The workstation's device endpoint: port 25005, member of 224.0.3.0."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    try:
        s.setsockopt(socket.SOL_SOCKET, 33, 16 << 20)  # SO_RCVBUFFORCE: a fleet answers at once
    except OSError:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16 << 20)
    s.bind(("0.0.0.0", REPLY_PORT))
    membership = socket.inet_aton(REPLY_GROUP) + socket.inet_aton("0.0.0.0")
    s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 100)
    return s


def receive(s, wait, expect=None):
    """Replies until `wait` seconds pass or `expect` search replies came (plus a
    short grace for late copies); each carries its sender and arrival time."""
    replies = []
    start = time.monotonic()
    deadline = start + wait
    searches = 0
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([s], [], [], left)
        if not ready:
            break
        data, peer = s.recvfrom(2048)
        reply = parse_reply(data)
        if reply is None:
            continue
        reply["peer"] = "%s:%d" % peer
        reply["at_ms"] = round((time.monotonic() - start) * 1000, 3)
        replies.append(reply)
        if reply["kind"] == "search-reply":
            searches += 1
            if expect is not None and searches >= expect:
                deadline = min(deadline, time.monotonic() + 0.3)
    return replies


def collect(s, wait, expect=None):
    for reply in receive(s, wait, expect):
        print(json.dumps(reply), flush=True)


def search_probe():
    return struct.pack("<IB3xI", 12, 0xF3, 0)


def range_probe(code):
    return struct.pack("<IB3xIII", 20, code, 0, 1, 1)


def change_command(present, server, standby, new_ip, gateway, mask, group_number=None, bad_checksum=False):
    """Direct form (40 bytes), or group form (48 bytes) with a device number."""
    fields = [number_form(x) for x in (present, server, standby, new_ip, gateway, mask)]
    checksum = sum(fields) & 0xFFFFFFFF
    if bad_checksum:
        checksum = (checksum + 1) & 0xFFFFFFFF
    if group_number is None:
        return struct.pack("<IB3xI6II", 40, 0xF0, 0, *fields, checksum)
    return struct.pack("<IB3xI6IIH2xI", 48, 0xF4, 0, *fields, checksum, group_number & 0xFFFF, 0)


def upgrade_command():
    return struct.pack("<IB3xI28x", UPGRADE_MARKER, 0xDF, 0)


def cmd_search(args):
    s = device_socket()
    if args.range:
        first, last = number_form(args.range[0]), number_form(args.range[1])
        for address in range(first, last + 1):
            for code in (0xF1, 0xF6):
                s.sendto(range_probe(code), (from_number_form(address), COMMAND_PORT))
    else:
        for _ in range(args.copies):
            s.sendto(search_probe(), (args.to, COMMAND_PORT))
    collect(s, args.wait, args.expect)


def cmd_change(args):
    s = device_socket()
    message = change_command(args.present, args.server, args.standby, args.new_ip, args.gateway, args.mask,
                             args.group, args.bad_checksum)
    s.sendto(message, (args.to or COMMAND_GROUP, COMMAND_PORT))
    collect(s, args.wait)


def cmd_upgrade(args):
    s = device_socket()
    for _ in range(3):
        s.sendto(upgrade_command(), (args.to, COMMAND_PORT))


def boot_socket():
    """The responder's side of the boot exchange: port 67, broadcast allowed."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("0.0.0.0", 67))
    return s


def answer_boot_request(s, file, server, yiaddr=None, wait=10.0):
    """Waits for one 300-byte boot request and broadcasts the reply to port 68:
    the request with op + 1, secs 1, yiaddr, siaddr and the file name. Returns
    what the request carried, or None when none came in time."""
    deadline = time.monotonic() + wait
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([s], [], [], left)
        if not ready:
            return None
        data, peer = s.recvfrom(2048)
        if len(data) == 300:
            break
    reply = bytearray(data)
    reply[0] = data[0] + 1
    reply[8:10] = b"\x01\x00"
    reply[16:20] = socket.inet_aton(yiaddr or peer[0])
    reply[20:24] = socket.inet_aton(server)
    name = file.encode()
    reply[108:108 + len(name)] = name
    s.sendto(bytes(reply), ("255.255.255.255", 68))
    return {"event": "boot-request", "peer": "%s:%d" % peer, "op": data[0], "htype": data[1], "hlen": data[2],
            "xid": struct.unpack_from("!I", data, 4)[0], "chaddr": data[28:34].hex(":"), "len": len(data)}


def cmd_boot_reply(args):
    s = boot_socket()
    print(json.dumps({"event": "listening"}), flush=True)
    for _ in range(args.count):
        request = answer_boot_request(s, args.file, args.server, args.yiaddr, args.wait)
        if request is None:
            break
        print(json.dumps(request), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("search")
    p.add_argument("--range", nargs=2, metavar=("FIRST", "LAST"))
    p.add_argument("--copies", type=int, default=3)
    p.add_argument("--to", default=COMMAND_GROUP, help="where the search probe goes (default the group)")
    p.add_argument("--wait", type=float, default=2.0)
    p.add_argument("--expect", type=int)
    p.set_defaults(run=cmd_search)
    p = sub.add_parser("change")
    p.add_argument("--to")
    p.add_argument("--group", type=int, metavar="NUMBER")
    p.add_argument("--direct", action="store_true")
    for name in ("present", "new-ip", "mask", "gateway", "server", "standby"):
        p.add_argument("--" + name, required=True)
    p.add_argument("--bad-checksum", action="store_true")
    p.add_argument("--wait", type=float, default=1.0)
    p.set_defaults(run=cmd_change)
    p = sub.add_parser("upgrade")
    p.add_argument("--to", required=True)
    p.set_defaults(run=cmd_upgrade)
    p = sub.add_parser("boot-reply")
    p.add_argument("--file", required=True)
    p.add_argument("--server", required=True)
    p.add_argument("--yiaddr")
    p.add_argument("--wait", type=float, default=10.0)
    p.add_argument("--count", type=int, default=1)
    p.set_defaults(run=cmd_boot_reply)
    args = parser.parse_args()
    if args.command == "change" and args.group is None and not args.to:
        parser.error("the direct form needs --to")
    args.run(args)


if __name__ == "__main__":
    sys.exit(main())
