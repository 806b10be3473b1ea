#!/usr/bin/env bash
# Several devices upgraded at once (quillane-cli upgrade --parallel), in one
# lab whose 16 devices have hardware addresses of their own (--own-macs):
#  1. --parallel 8 over all 16: every device loads the image byte for byte
#     and every boot answer a device saw carried its own address; a device
#     that restarts 13 s after its command (past its 10 s) still gets its own
#     address, loads the image and is reported upgraded; a host broadcasting
#     boot requests from hardware addresses of no device gets no answer.
#  2. --max-failures 2 with two silent devices: once both failed, no further
#     device starts; the rest are not-started in the JSON document and the report.
#  3. A stop signal with four devices in flight: they finish, no further
#     device starts.
#  4. One after another, a device restarting late gets its own address too.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin parallel --devices 16 --own-macs
CLI=$LAB_TEST_CLI
[[ -x "$CLI" ]] || { echo "FAIL: $CLI is not built"; exit 1; }
T=$LAB_TEST_TMP
head -c 150000 /dev/urandom >"$T/firmware.bin"
chmod 644 "$T/firmware.bin"

# --- 1. sixteen devices, eight at once --------------------------------------
# Device 5 restarts 13 s after its command; device 2 writes its flash slowly
# (about 18 s), so the run is still on when device 5 asks.
"$DEVSIM" --count 16 --seed 28 --first-ip 10.77.1.1 --print-fleet |
    awk 'NR == 5 { print $0 " faults=boot-delay=13000"; next }
         NR == 2 { print $0 " faults=flash-delay=60"; next } { print }' >"$T/fleet.txt"
lab_test_devsim --fleet "$T/fleet.txt"

# The stranger: boot requests from hardware addresses no device has, from the
# devices' side, for 4 s once the run is under way; it prints any answer.
dev python3 - >"$T/stranger.out" 2>&1 <<'PY' &
import select, socket, struct, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", 68))
time.sleep(2)
xids = set()
end = time.monotonic() + 4
n = 0
while time.monotonic() < end:
    n += 1
    xid = 0x5157A000 + n
    xids.add(xid)
    request = bytearray(300)
    request[0:4] = bytes([1, 1, 6, 0])
    struct.pack_into("!I", request, 4, xid)
    request[28:34] = bytes([0x02, 0x99, 0, 0, 0, n & 0xFF])
    s.sendto(bytes(request), ("255.255.255.255", 67))
    stop = time.monotonic() + 0.4
    while (left := stop - time.monotonic()) > 0:
        if not select.select([s], [], [], left)[0]:
            break
        data, peer = s.recvfrom(2048)
        if len(data) >= 8 and struct.unpack_from("!I", data, 4)[0] in xids:
            print("ANSWERED", data[28:34].hex(":"), socket.inet_ntoa(data[16:20]), flush=True)
print("sent", n, flush=True)
PY
stranger=$!
lab_test_cli 0 eight upgrade --file "$T/firmware.bin" --all --parallel 8 --wait 500
wait "$stranger"
cat "$T/stranger.out"
grep -q '^sent' "$T/stranger.out" || { echo "FAIL: the stranger did not run"; exit 1; }
if grep -q ANSWERED "$T/stranger.out"; then echo "FAIL: a stranger's boot request was answered"; exit 1; fi

python3 - "$T" "$DEVSIM_LOG" <<'PY'
import hashlib, json, sys
tmp, log_path = sys.argv[1], sys.argv[2]
fleet = {}
for line in open(f"{tmp}/fleet.txt"):
    d = dict(w.split("=", 1) for w in line.split())
    fleet[int(d["number"])] = d
numbers = sorted(fleet)
ip = {n: fleet[n]["ip"] for n in numbers}
late = next(n for n in numbers if "boot-delay" in fleet[n].get("faults", ""))
image = hashlib.sha256(open(f"{tmp}/firmware.bin", "rb").read()).hexdigest()
log = [json.loads(l) for l in open(log_path) if l.strip()]

out = open(f"{tmp}/eight.out").read().splitlines()
assert len(out) == 16 and all(l.endswith("  upgraded") for l in out), out

done = {e["dev"]: e for e in log if e.get("event") == "upgrade-done"}
assert sorted(done) == numbers, sorted(done)
for n, e in done.items():
    assert e["ok"] and e["sha256"] == image and e["bytes"] == 150000, e
answers = [e for e in log if e.get("kind") == "boot-reply" and e.get("dir") == "in" and "yiaddr" in e]
assert sorted({e["dev"] for e in answers}) == numbers, answers
wrong = [e for e in answers if e["yiaddr"] != ip[e["dev"]]]
assert not wrong, wrong
assert not [e for e in log if e.get("event") == "boot-address-not-local"]

start = {e["dev"]: e["t"] for e in log if e.get("event") == "upgrade-start"}
asked = min(e["t"] for e in log if e.get("kind") == "boot-request" and e["dev"] == late)
assert asked - start[late] >= 13000, (asked, start[late])
# Several at once: devices overlapped between their command and their image.
spans = [(start[n], done[n]["t"]) for n in numbers]
most = max(sum(1 for a, b in spans if a <= t < b) for t, _ in spans)
assert most >= 4, most
print(f"16 devices, at most {most} at once; device {late} asked {asked - start[late]:.0f} ms after its "
      f"command and got its own address; every answer carried the asking device's address")
PY
lab_test_stop_devsim

# --- 2. and 3.: the failure limit and a stop, as the operator sees them ------
# Devices 1 to 6 ignore the command; the others take about 6 s each. The run
# takes the devices in table order, the order of the search replies, which is
# not fixed: the checks hold for any order.
"$DEVSIM" --count 16 --seed 29 --first-ip 10.77.1.1 --print-fleet |
    awk 'NR <= 6 { print $0 " faults=ignore-upgrade"; next } { print $0 " faults=flash-delay=20" }' \
        >"$T/fleet2.txt"
lab_test_devsim --fleet "$T/fleet2.txt"
first=$(seq 1 8 | while read -r i; do fleet_number "$T/fleet2.txt" "$i"; done | paste -sd,)
second=$(seq 9 16 | while read -r i; do fleet_number "$T/fleet2.txt" "$i"; done | paste -sd,)
lab_test_cli 3 limit upgrade --file "$T/firmware.bin" --devices "$first" --parallel 2 --max-failures 2 \
    --wait 500 --format json --report "$T/limit.jsonl"

logged=$(wc -l <"$DEVSIM_LOG")
"$LAB" exec "$LAB_TEST_NAME" ws -- "$CLI" upgrade --file "$T/firmware.bin" --devices "$second" --parallel 4 \
    --wait 500 >"$T/stopped.out" 2>"$T/stopped.err" &
stopped=$!
for _ in $(seq 300); do  # until four devices of this run took their command
    (($(sed -n "$((logged + 1)),\$p" "$DEVSIM_LOG" | grep -c '"event":"upgrade-start"') >= 4)) && break
    sleep 0.05
done
kill -TERM "$stopped"
code=0
wait "$stopped" || code=$?
((code == 3)) || { echo "FAIL: the stopped run exited $code, not 3"; cat "$T/stopped.out" "$T/stopped.err"; exit 1; }

python3 - "$T" <<'PY'
import json, sys
tmp = sys.argv[1]
fleet = [dict(w.split("=", 1) for w in line.split()) for line in open(f"{tmp}/fleet2.txt")]
number = [int(d["number"]) for d in fleet]

silent = set(number[:6])
document = json.load(open(f"{tmp}/limit.out"))
order = [r["device"] for r in document["results"]]  # table order
result = {r["device"]: r["result"] for r in document["results"]}
assert sorted(order) == sorted(number[:8]), order
# Silent devices failed, the others were upgraded, until two had failed
# (a silent one still in flight then fails too); from then on none started.
started = [n for n in order if result[n] != "not-started"]
assert order[:len(started)] == started, result
assert all(result[n] == ("failed" if n in silent else "upgraded") for n in started), result
assert 2 <= sum(1 for n in started if result[n] == "failed") <= 3, result
assert len(started) <= 6, result
report = {r["device"]: r["result"] for r in map(json.loads, open(f"{tmp}/limit.jsonl"))}
assert {n for n in report if report[n] == "not-started"} == {n for n in order if result[n] == "not-started"}, report

out = open(f"{tmp}/stopped.out").read().splitlines()
assert len(out) == 8, out
assert all(l.endswith("  upgraded") for l in out[:4]), out
assert all(l.endswith("not upgraded: the run was stopped before this device") for l in out[4:]), out
print(f"failure limit: {' '.join(result[n] for n in order)}; stop: four in flight finished, four never started")
PY
lab_test_stop_devsim

# --- 4. one after another, a late device again gets its own address ---------
# The first device restarts 13 s after its command; the second, started at
# its time-out, writes its flash for about 9 s, so the run is still on. The
# range walk lists the devices in address order (a multicast search lists
# them in the order of the replies), so the late one goes first.
"$DEVSIM" --count 2 --seed 30 --first-ip 10.77.1.1 --print-fleet |
    awk 'NR == 1 { print $0 " faults=boot-delay=13000"; next } { print $0 " faults=flash-delay=30" }' \
        >"$T/fleet3.txt"
lab_test_devsim --fleet "$T/fleet3.txt"
lab_test_cli 0 sequential upgrade --file "$T/firmware.bin" --all --range 10.77.1.1-10.77.1.2 --wait 500
python3 - "$T" "$DEVSIM_LOG" <<'PY'
import json, sys
tmp, log_path = sys.argv[1], sys.argv[2]
fleet = [dict(w.split("=", 1) for w in line.split()) for line in open(f"{tmp}/fleet3.txt")]
ip = {int(d["number"]): d["ip"] for d in fleet}
late = int(fleet[0]["number"])
out = open(f"{tmp}/sequential.out").read().splitlines()
assert len(out) == 2 and all(l.endswith("  upgraded") for l in out), out
assert out[0].startswith(f"device {late} "), out
log = [json.loads(l) for l in open(log_path) if l.strip()]
answers = [e for e in log if e.get("kind") == "boot-reply" and e.get("dir") == "in" and "yiaddr" in e]
assert sorted(e["dev"] for e in answers) == sorted(ip), answers
assert all(e["yiaddr"] == ip[e["dev"]] for e in answers), answers
print(f"one after another: device {late} asked late and got its own address, not the next device's")
PY
lab_test_stop_devsim
echo "parallel upgrade: all checks passed"
