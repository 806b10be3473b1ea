#!/usr/bin/env bash
# Address changes as devices take them: the direct form at the device's
# address and the group form through 224.0.2.0 matched by the low 16 bits of
# the device number; short and full results; wrong checksums and unusable
# settings refused; the device then answers at its new address.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin dchange --devices 4

cat >"$LAB_TEST_TMP/fleet.txt" <<'TXT'
number=1001  ip=10.77.1.1 type=6401 result=short gateway=10.77.0.1 server=10.77.0.1
number=1002  ip=10.77.1.2 type=6825 result=full  gateway=10.77.0.1 server=10.77.0.1
number=70001 ip=10.77.1.3 type=none result=full  gateway=10.77.0.1 server=10.77.0.1
number=1004  ip=10.77.1.4 type=6463 result=full  gateway=10.77.0.1 server=10.77.0.1 faults=bad-checksum-silent
TXT
# The new addresses the devices move to exist in the devices' namespace (the
# lab owns the network); 10.99.0.5 deliberately does not.
dev ip addr add 10.77.2.1/16 dev lab-dev
dev ip addr add 10.77.2.3/16 dev lab-dev
lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt"

ws python3 - "$DEVICE_CLIENT" <<'PY'
import os, sys
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(sys.argv[1]))
import device_client as dc

s = dc.device_socket()
GROUP = (dc.COMMAND_GROUP, dc.COMMAND_PORT)

def exchange(message, to, wait=0.8):
    s.sendto(message, to)
    return dc.receive(s, wait)

def probe(address):
    s.sendto(dc.range_probe(0xF1), (address, dc.COMMAND_PORT))
    return dc.receive(s, 0.5)

new = dict(server="10.77.0.9", standby="10.77.0.10", gateway="10.77.0.254", mask="255.255.0.0")

# Direct form, short result, sent from the new address.
r = exchange(dc.change_command("10.77.1.1", new_ip="10.77.2.1", **new), ("10.77.1.1", dc.COMMAND_PORT))
assert [(x["kind"], x["number"], x["result"], x["peer"]) for x in r] == \
    [("change-result-short", 1001, 1, "10.77.2.1:25000")], r
r = probe("10.77.2.1")
assert len(r) == 1 and (r[0]["number"], r[0]["ip"], r[0]["gateway"], r[0]["server"], r[0]["standby"]) == \
    (1001, "10.77.2.1", "10.77.0.254", "10.77.0.9", "10.77.0.10"), r
assert probe("10.77.1.1") == [], "the old address no longer answers"

# Group form for a number above 65535: only its low 16 bits travel.
r = exchange(dc.change_command("10.77.1.3", new_ip="10.77.2.3", group_number=70001, **new), GROUP)
assert len(r) == 1, r
x = r[0]
assert (x["kind"], x["number"], x["shown_number"], x["result"], x["ip"], x["mask"], x["gateway"], x["server"],
        x["standby"], x["peer"]) == ("change-result-full", 70001, 70001, 1, "10.77.2.3", "255.255.0.0",
                                     "10.77.0.254", "10.77.0.9", "10.77.0.10", "10.77.2.3:25000"), x
# Low 16 bits that no device has: nobody answers.
assert exchange(dc.change_command("10.77.1.2", new_ip="10.77.2.9", group_number=70002, **new), GROUP) == []

# Wrong checksum: a failure result and nothing changed, or silence (fault).
r = exchange(dc.change_command("10.77.1.2", new_ip="10.77.2.2", bad_checksum=True, **new), ("10.77.1.2", 25000))
assert [(x["kind"], x["result"], x["ip"], x["server"]) for x in r] == \
    [("change-result-full", 0, "10.77.1.2", "10.77.0.1")], r
assert exchange(dc.change_command("10.77.1.4", new_ip="10.77.2.4", bad_checksum=True, **new),
                ("10.77.1.4", 25000)) == []
# Settings a device cannot live with are refused: a split mask, a network address.
for bad in (dict(new, mask="255.0.255.0"), dict(new, mask="255.255.255.0", new_ip="10.77.2.0")):
    bad.setdefault("new_ip", "10.77.2.4")
    r = exchange(dc.change_command("10.77.1.4", **bad), ("10.77.1.4", 25000))
    assert [(x["result"], x["ip"]) for x in r] == [(0, "10.77.1.4")], (bad, r)

# A new address the namespace does not own: reported, used in replies, but
# the device keeps speaking from the address it had.
r = exchange(dc.change_command("10.77.1.2", new_ip="10.99.0.5", **dict(new, mask="255.255.0.0")), ("10.77.1.2", 25000))
assert [(x["result"], x["ip"], x["peer"]) for x in r] == [(1, "10.99.0.5", "10.77.1.2:25000")], r
s.sendto(dc.search_probe(), GROUP)
r = {x["number"]: x for x in dc.receive(s, 1.0, expect=4)}
assert sorted(r) == [1001, 1002, 1004, 70001], r
assert (r[1002]["ip"], r[1002]["peer"]) == ("10.99.0.5", "10.77.1.2:25000"), r[1002]
assert r[70001]["len"] == 52 and r[70001]["ip"] == "10.77.2.3", r[70001]
print("changes: ok")
PY

lab_test_stop_devsim
python3 - "$DEVSIM_LOG" <<'PY'
import json, sys
log = [json.loads(l) for l in open(sys.argv[1])]
changes = [e for e in log if e.get("dir") == "in" and "dev" in e and e.get("kind", "").startswith("change")]
direct = [e for e in changes if e["dev"] == 1001][0]
assert (direct["kind"], direct["code"], direct["len"], direct["present"], direct["new_ip"], direct["checksum_ok"]) == \
    ("change-direct", 0xF0, 40, "10.77.1.1", "10.77.2.1", True), direct
group = [e for e in changes if e["dev"] == 70001][0]
assert (group["kind"], group["code"], group["len"], group["number_low"]) == ("change-group", 0xF4, 48, 4465), group
assert any(e.get("ignored", "").startswith("no device with these low 16 bits") for e in log)
silent = [e for e in changes if e["dev"] == 1004 and not e["checksum_ok"]]
assert len(silent) == 1 and "ignored" in silent[0], silent
assert any(e.get("event") == "address-not-local" and e["dev"] == 1002 and e["ip"] == "10.99.0.5" for e in log)
print("log: ok")
PY
echo PASS
