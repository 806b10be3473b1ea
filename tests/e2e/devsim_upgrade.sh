#!/usr/bin/env bash
# Firmware upgrades against a real TFTP server (tftpd-hpa) in the workstation
# namespace: upgrade command, boot request and reply, TFTP read with and
# without options, for files around the block size, a few MiB, and one long
# enough for the block number to wrap from 65535 to 0.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
command -v in.tftpd >/dev/null || { echo "SKIP: tftpd-hpa (in.tftpd) missing"; exit 77; }
lab_test_begin dupgrade --devices 14

srv="$LAB_TEST_TMP/srv"
mkdir -p "$srv"
for size in 0 511 512 513 1024 3145728 33555000; do
    head -c "$size" /dev/urandom >"$srv/fw-$size.bin"
done
chmod -R a+rX "$srv"

# One device per transfer: number, TFTP options, file size.
plan=(
    "101 none 0"        "102 blksize=1024,tsize,timeout=2 0"
    "103 none 511"      "104 blksize=1024,tsize,timeout=2 511"
    "105 none 512"      "106 blksize=1024,tsize,timeout=2 512"
    "107 none 513"      "108 blksize=1024,tsize,timeout=2 513"
    "109 none 3145728"  "110 blksize=1024,tsize,timeout=2 3145728"
    "111 tsize 1024"    "112 blksize=512 1024"  "113 timeout=1 3145728"
    "114 none 33555000"
)
: >"$LAB_TEST_TMP/fleet.txt"
i=1
for entry in "${plan[@]}"; do
    read -r number options size <<<"$entry"
    echo "number=$number ip=10.77.1.$i type=6401 version=2016.1.1.1 tftp=$options" >>"$LAB_TEST_TMP/fleet.txt"
    echo "$number 10.77.1.$i $options /fw-$size.bin $size" >>"$LAB_TEST_TMP/plan.txt"
    i=$((i + 1))
done

ws in.tftpd --listen --secure --user root --address "$WS_IP:69" "$srv" &
lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt" --new-version 2020.2.2.2

ws python3 - "$DEVICE_CLIENT" "$DEVSIM_LOG" "$LAB_TEST_TMP/plan.txt" "$srv" "$WS_IP" <<'PY'
import hashlib, json, os, sys, time
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(sys.argv[1]))
import device_client as dc
log_path, plan_path, srv, ws_ip = sys.argv[2:6]

class LogFollower:
    """Reads the simulator's log as it grows, whole lines only."""
    def __init__(self, path):
        self.file, self.rest, self.events = open(path), "", []

    def wait_for(self, match, timeout):
        deadline = time.monotonic() + timeout
        while True:
            found = next((e for e in self.events if match(e)), None)
            if found or time.monotonic() > deadline:
                return found
            chunk = self.file.read()
            if not chunk:
                time.sleep(0.05)
                continue
            lines = (self.rest + chunk).split("\n")
            self.rest = lines.pop()
            self.events += [json.loads(l) for l in lines if l]

follower = LogFollower(log_path)

def outcome(number, timeout=90):
    e = follower.wait_for(lambda e: e.get("dev") == number and e.get("event") in ("upgrade-done", "upgrade-failed"),
                          timeout)
    assert e, f"no upgrade outcome for device {number}"
    return e

s = dc.device_socket()
boot = dc.boot_socket()
for line in open(plan_path):
    number, ip, options, file, size = line.split()
    number, size = int(number), int(size)
    for _ in range(3):
        s.sendto(dc.upgrade_command(), (ip, dc.COMMAND_PORT))
    request = dc.answer_boot_request(boot, file, ws_ip, wait=10)
    assert request is not None, f"no boot request from device {number}"
    mac = "02:51:0a:4d:01:%02x" % int(ip.split(".")[-1])
    assert (request["len"], request["op"], request["htype"], request["hlen"], request["chaddr"], request["peer"]) == \
        (300, 1, 1, 6, mac, ip + ":68"), request
    e = outcome(number)
    data = open(srv + file, "rb").read()
    blksize = 1024 if "blksize=1024" in options else 512
    assert e["ok"] is True, e
    assert (e["bytes"], e["sha256"], e["blocks"], e["blksize"]) == \
        (size, hashlib.sha256(data).hexdigest(), size // blksize + 1, blksize), (options, e)
    assert ("tsize" in e) == ("tsize" in options), e
    if "tsize" in options:
        assert e["tsize"] == size, e
    print(f"device {number}: {size} bytes, options {options}: ok ({e['ms']:.0f} ms)", flush=True)

# After success the devices report the new version.
s.sendto(dc.search_probe(), (dc.COMMAND_GROUP, dc.COMMAND_PORT))
replies = dc.receive(s, 1.5, expect=14)
assert len(replies) == 14 and all(r["version"] == "2020.2.2.2" for r in replies), replies
PY

lab_test_stop_devsim
python3 - "$DEVSIM_LOG" <<'PY'
import collections, json, sys
log = [json.loads(l) for l in open(sys.argv[1])]
# Three copies of each command reached each device, one started an upgrade.
starts = collections.Counter(e["dev"] for e in log if e.get("event") == "upgrade-start")
copies = collections.Counter(e["dev"] for e in log if e.get("dir") == "in" and e.get("kind") == "upgrade")
assert set(starts.values()) == {1} and set(copies.values()) == {3}, (starts, copies)
# The long transfer acknowledged block 65535, then 0, then 1. (Under load the
# server may repeat a block; the device acknowledges it again, marked duplicate.)
def first_acks(device):
    return [e["block"] for e in log if e.get("dev") == device and e.get("kind") == "ack" and e.get("dir") == "out"
            and not e.get("duplicate") and not e.get("retransmission")]
acks = first_acks(114)
at = acks.index(65535)
assert acks[at:at + 3] == [65535, 0, 1], acks[at - 2:at + 4]
assert len(acks) == 33555000 // 512 + 1, len(acks)
# Every acknowledgement answered a data block of the same number.
data = [e["block"] for e in log if e.get("dev") == 109 and e.get("kind") == "data"]
assert sorted(set(data)) == first_acks(109) == list(range(1, 3145728 // 512 + 2)), "lock-step"
print("log: ok")
PY
echo PASS
