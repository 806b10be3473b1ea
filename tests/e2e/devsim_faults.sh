#!/usr/bin/env bash
# Devices that misbehave on order: silent, late searches, seeded loss,
# late change results, ignored upgrade command, no boot request, a transfer
# that stalls. Each shows up on the wire as asked, and the simulator still
# stops promptly with a stalled transfer in progress.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
command -v in.tftpd >/dev/null || { echo "SKIP: tftpd-hpa (in.tftpd) missing"; exit 77; }
lab_test_begin dfaults --devices 8

cat >"$LAB_TEST_TMP/fleet.txt" <<'TXT'
number=201 ip=10.77.1.1 faults=silent
number=202 ip=10.77.1.2 faults=search-delay=600
number=203 ip=10.77.1.3 faults=drop=0.5
number=204 ip=10.77.1.4 faults=ignore-upgrade
number=205 ip=10.77.1.5 faults=no-boot
number=206 ip=10.77.1.6 faults=stall-after=3
number=207 ip=10.77.1.7 faults=change-delay=4500 result=short
number=208 ip=10.77.1.8
TXT
srv="$LAB_TEST_TMP/srv"
mkdir -p "$srv"
head -c 5000 /dev/urandom >"$srv/fw.bin"
chmod -R a+rX "$srv"
ws in.tftpd --listen --secure --user root --address "$WS_IP:69" "$srv" &

cat >"$LAB_TEST_TMP/drive.py" <<'PY'
import os, json, sys, time
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(sys.argv[1]))
import device_client as dc
phase = sys.argv[2]
s = dc.device_socket()

if phase == "loss":
    # Forty range probes to the lossy device; what came back is the pattern.
    for _ in range(40):
        s.sendto(dc.range_probe(0xF1), ("10.77.1.3", dc.COMMAND_PORT))
        time.sleep(0.005)
    print(len(dc.receive(s, 0.5)))
    sys.exit()

s.sendto(dc.search_probe(), (dc.COMMAND_GROUP, dc.COMMAND_PORT))
replies = dc.receive(s, 1.2)
at = {}
for r in replies:
    at.setdefault(r["number"], r["at_ms"])
assert 201 not in at, "a silent device answered"
assert at[202] >= 550 and at[208] < at[202], at

# A change result that arrives past the tool's 4 s.
s.sendto(dc.change_command("10.77.1.7", "10.77.0.1", "0.0.0.0", "10.77.1.7", "10.77.0.1", "255.255.0.0"),
         ("10.77.1.7", dc.COMMAND_PORT))
late = dc.receive(s, 6.0)
assert [(r["kind"], r["number"], r["result"]) for r in late] == [("change-result-short", 207, 1)], late
assert late[0]["at_ms"] >= 4400, late

boot = dc.boot_socket()
for ip in ("10.77.1.4", "10.77.1.5"):
    for _ in range(3):
        s.sendto(dc.upgrade_command(), (ip, dc.COMMAND_PORT))
    assert dc.answer_boot_request(boot, "/fw.bin", "10.77.0.1", wait=1.5) is None, ip
for _ in range(3):
    s.sendto(dc.upgrade_command(), ("10.77.1.6", dc.COMMAND_PORT))
assert dc.answer_boot_request(boot, "/fw.bin", "10.77.0.1", wait=5) is not None
time.sleep(2.5)  # the stalled transfer hangs on block 4, which the server repeats after 1 s
print("faults on the wire: ok")
PY

lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt" --seed 5
ws python3 "$LAB_TEST_TMP/drive.py" "$DEVICE_CLIENT" main
lab_test_stop_devsim   # with the stalled transfer still open
cp "$DEVSIM_LOG" "$LAB_TEST_TMP/main.log"

python3 - "$LAB_TEST_TMP/main.log" <<'PY'
import json, sys
log = [json.loads(l) for l in open(sys.argv[1])]
def dev(n): return [e for e in log if e.get("dev") == n]
assert all(e.get("ignored") == "silent (fault)" for e in dev(201) if e.get("dir") == "in") and dev(201)
assert not [e for e in dev(201) if e.get("dir") == "out"]
assert [e["delayed_ms"] for e in dev(202) if e.get("dir") == "out"] == [600]
assert [e.get("ignored") for e in dev(204) if e.get("kind") == "upgrade"] == ["ignores upgrades (fault)"] * 3
assert any(e.get("event") == "upgrade-no-boot" for e in dev(205))
assert not [e for e in dev(205) if e.get("proto") == "bootp"]
acks = [e["block"] for e in dev(206) if e.get("kind") == "ack" and e.get("dir") == "out"]
assert acks == [1, 2, 3], acks
assert any(e.get("event") == "tftp-stalled" and e["blocks"] == 3 for e in dev(206))
# The server repeats block 4 into the silence.
assert [e.get("ignored") for e in dev(206) if e.get("kind") == "data" and e["block"] == 4][1:2] == ["stalled"]
assert not any(e.get("event") == "upgrade-done" for e in dev(206))
assert log[-1]["event"] == "stopped"
print("log: ok")
PY

# Loss is reproducible for a seed and differs for another.
for run in a b c; do
    seed=5
    [[ $run == c ]] && seed=6
    lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt" --seed $seed
    ws python3 "$LAB_TEST_TMP/drive.py" "$DEVICE_CLIENT" loss >"$LAB_TEST_TMP/loss-$run.count"
    lab_test_stop_devsim
    python3 -c '
import json, sys
print("".join("x" if e.get("dropped") else "." for e in map(json.loads, open(sys.argv[1])) if e.get("dev") == 203))
' "$DEVSIM_LOG" >"$LAB_TEST_TMP/loss-$run.pattern"
    rm -f "$DEVSIM_LOG"
done
answered=$(cat "$LAB_TEST_TMP/loss-a.count")
echo "lossy device answered $answered of 40 probes; pattern $(cat "$LAB_TEST_TMP/loss-a.pattern")"
((answered > 0 && answered < 40))
cmp "$LAB_TEST_TMP/loss-a.pattern" "$LAB_TEST_TMP/loss-b.pattern"
[[ "$(cat "$LAB_TEST_TMP/loss-a.count")" == "$(cat "$LAB_TEST_TMP/loss-b.count")" ]]
! cmp -s "$LAB_TEST_TMP/loss-a.pattern" "$LAB_TEST_TMP/loss-c.pattern"
echo PASS
