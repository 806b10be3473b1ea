#!/usr/bin/env bash
# A workstation with two network cards: devices behind each, one automatic
# search lists all of them. The second card carries neither the multicast nor
# the default route (a plain search leaves by the first card only, as the
# control shows), and one device is reached through both cards: one row.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
CLI=$LAB_TEST_BUILD/cli/quillane-cli
lab_test_begin twocards --devices 20
[[ -x "$CLI" ]] || { echo "FAIL: $CLI is not built"; exit 1; }
lab_test_link second --devices 15 --ws-ip 10.78.0.1 --first-ip 10.78.1.1
T=$LAB_TEST_TMP

"$DEVSIM" --count 20 --seed 3 --first-ip 10.77.1.1 --print-fleet >"$T/first.txt"
"$DEVSIM" --count 15 --seed 4 --first-ip 10.78.1.1 --print-fleet |
    awk '{ sub(/number=[-0-9]+/, "number=" (500000 + NR)); print }' >"$T/second.txt"
# One device on both links, with one number and one address.
bridged="number=424242 ip=10.77.1.30 type=6401 version=2020.1.2.3 mask=255.255.0.0 gateway=10.77.0.254 server=10.77.0.1 standby=10.77.0.2"
echo "$bridged" >>"$T/first.txt"
echo "$bridged" >>"$T/second.txt"
dev ip addr add 10.77.1.30/16 dev lab-dev
on_side second ip addr add 10.77.1.30/16 dev lab-dev

lab_test_devsim --fleet "$T/first.txt"
first_pid=$DEVSIM_PID
lab_test_devsim --side second --fleet "$T/second.txt"
second_pid=$DEVSIM_PID

# Control: a search sent the system's default way reaches the first card's devices only.
ws python3 "$DEVICE_CLIENT" search --wait 1.5 >"$T/control.jsonl"
ws "$CLI" search --format json >"$T/found.json"

python3 - "$T" <<'PY'
import json, sys
tmp = sys.argv[1]
def numbers(name):
    return {int(dict(w.split("=", 1) for w in l.split())["number"]) for l in open(f"{tmp}/{name}.txt")}
first, second = numbers("first"), numbers("second")
assert len(first) == 21 and len(second) == 16 and first & second == {424242}

control = {json.loads(l)["number"] for l in open(f"{tmp}/control.jsonl")}
assert control == first, ("the lab must hide the second card from a default search", control ^ first)

rows = json.load(open(f"{tmp}/found.json"))
listed = [r["deviceNo"] for r in rows]
assert sorted(listed) == sorted(first | second), sorted(set(listed) ^ (first | second))
assert len(listed) == len(set(listed)) == 36, "one row per device, the bridged one included"
PY
DEVSIM_PID=$second_pid lab_test_stop_devsim
DEVSIM_PID=$first_pid lab_test_stop_devsim
echo "two cards: all devices found"
