#!/usr/bin/env bash
# The simulated fleet answers searches as devices do: a multicast search and
# range probes from the workstation namespace, replies checked byte by byte
# against the fleet the simulator was given.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin dsearch --devices 50

# 1. A generated fleet of 50, three probe copies to the group: every device
#    answers every copy, to 224.0.3.0, from its own address.
"$DEVSIM" --count 50 --seed 11 --print-fleet >"$LAB_TEST_TMP/fleet.txt"
lab_test_devsim --count 50 --seed 11
ws python3 "$DEVICE_CLIENT" search --wait 2 --expect 150 >"$LAB_TEST_TMP/group.jsonl"
# Range probes (0xF1 then 0xF6) to three addresses; nothing owns the last one.
ws python3 "$DEVICE_CLIENT" search --range 10.77.1.49 10.77.1.51 --wait 1 >"$LAB_TEST_TMP/range.jsonl"
# Devices hear a probe to their subnet's broadcast address too.
ws python3 "$DEVICE_CLIENT" search --to 10.77.255.255 --copies 1 --wait 2 --expect 50 >"$LAB_TEST_TMP/bcast.jsonl"
lab_test_stop_devsim
cp "$DEVSIM_LOG" "$LAB_TEST_TMP/generated.log"

python3 - "$LAB_TEST_TMP" <<'PY'
import collections, json, sys
tmp = sys.argv[1]
fleet = {}
for line in open(f"{tmp}/fleet.txt"):
    d = dict(w.split("=", 1) for w in line.split())
    fleet[int(d["number"])] = d
assert len(fleet) == 50, len(fleet)
assert any(n > 65535 for n in fleet), "some numbers above 65535"
assert any(d["type"] == "none" for d in fleet.values()), "some devices without a type"
assert len({d["type"] for d in fleet.values()}) >= 5, "mixed types"

def check(reply, d):
    want_len = 52 if d["type"] == "none" else 56
    assert reply["code"] == 0xF1 and reply["len"] == want_len and reply["length_field"] == want_len, reply
    for key in ("ip", "mask", "gateway", "server", "standby", "version"):
        assert reply[key] == d[key], (key, reply, d)
    assert reply["type"] == (None if d["type"] == "none" else int(d["type"])), reply
    assert reply["peer"] == d["ip"] + ":25000", reply

group = [json.loads(l) for l in open(f"{tmp}/group.jsonl")]
counts = collections.Counter(r["number"] for r in group)
assert set(counts) == set(fleet), set(fleet) ^ set(counts)
assert all(c == 3 for c in counts.values()), counts
for r in group:
    check(r, fleet[r["number"]])

by_ip = {d["ip"]: n for n, d in fleet.items()}
rng = [json.loads(l) for l in open(f"{tmp}/range.jsonl")]
assert sorted(r["ip"] for r in rng) == ["10.77.1.49", "10.77.1.49", "10.77.1.50", "10.77.1.50"], rng
for r in rng:
    check(r, fleet[by_ip[r["ip"]]])

bcast = [json.loads(l) for l in open(f"{tmp}/bcast.jsonl")]
assert sorted(r["number"] for r in bcast) == sorted(fleet), len(bcast)

log = [json.loads(l) for l in open(f"{tmp}/generated.log")]
received = [e for e in log if e.get("dir") == "in" and e.get("kind") == "range-probe"]
assert sorted(e["code"] for e in received) == [0xF1, 0xF1, 0xF6, 0xF6], received
assert log[-1]["event"] == "stopped", log[-1]
print("generated fleet: ok")
PY

# 2. A fleet file with edge values, answering the sender by unicast (spread
#    over 300 ms, as real units do): numbers
#    at the ends of the signed range, a version of all-zero bytes, server
#    addresses whose octets tell the byte orders apart.
cat >"$LAB_TEST_TMP/edge.fleet" <<'TXT'
# edge values
number=-7          ip=10.77.1.1 type=none version=2000.0.0.0 server=10.77.0.200 standby=192.168.3.4
number=2147483647  ip=10.77.1.2 type=7118 version=2255.255.255.255 gateway=10.77.255.254 mask=255.255.240.0
number=65536       ip=10.77.1.3 type=51 result=short
TXT
lab_test_devsim --fleet "$LAB_TEST_TMP/edge.fleet" --unicast-replies --reply-jitter 300
ws python3 "$DEVICE_CLIENT" search --copies 1 --wait 1 --expect 3 >"$LAB_TEST_TMP/edge.jsonl"
lab_test_stop_devsim
python3 - "$LAB_TEST_TMP" "$DEVSIM_LOG" <<'PY'
import json, sys
sent = [e for e in map(json.loads, open(sys.argv[2])) if e.get("dir") == "out"]
assert len(sent) == 3 and all(0 <= e.get("delayed_ms", 0) <= 300 for e in sent), sent
replies = {r["number"]: r for r in map(json.loads, open(f"{sys.argv[1]}/edge.jsonl"))}
assert all(r["peer"] == r["ip"] + ":25000" for r in replies.values()), replies
assert set(replies) == {-7, 2147483647, 65536}, replies
a, b, c = replies[-7], replies[2147483647], replies[65536]
assert (a["len"], a["type"], a["version"], a["server"], a["standby"]) == (52, None, "2000.0.0.0", "10.77.0.200", "192.168.3.4"), a
assert (b["len"], b["type"], b["version"], b["gateway"], b["mask"]) == (56, 7118, "2255.255.255.255", "10.77.255.254", "255.255.240.0"), b
assert (c["len"], c["type"], c["ip"]) == (56, 51, "10.77.1.3"), c
print("fleet file, unicast replies: ok")
PY
echo PASS
