#!/usr/bin/env bash
# Upgrade runs end to end: the station (upgrade_run_e2e) in the workstation
# namespace, devsim fleets in the devices namespace. Ten devices take a 2 MiB
# image one after another and report it byte-identical; a device that never
# asks for its file, one that ends its transfer with an error packet and one
# outside the workstation's subnet show their failures while the run goes on;
# Stop ends the run after the current device; a host reading the file all
# along holds off no device's time-out; with 0.5% of the datagrams lost
# in both directions every image still arrives whole.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
PROGRAM=$LAB_TEST_BUILD/tests/e2e/upgrade_run_e2e
[[ -x "$PROGRAM" ]] || { echo "FAIL: $PROGRAM is not built"; exit 1; }
lab_test_begin upgrade --devices 10
NEW_VERSION=2020.2.2.2

mkdir -p "$LAB_TEST_TMP/fw"
head -c $((2 * 1024 * 1024)) /dev/urandom >"$LAB_TEST_TMP/fw/big.bin"
head -c $((300 * 1024 + 77)) /dev/urandom >"$LAB_TEST_TMP/fw/small.bin"

# fleet NAME LINE...: one device per line, addresses from 10.77.1.1 on.
fleet() {
    local name=$1 i=1
    shift
    : >"$LAB_TEST_TMP/$name.txt"
    for words in "$@"; do
        echo "ip=10.77.1.$i mask=255.255.0.0 type=6401 version=2016.1.1.1 $words" >>"$LAB_TEST_TMP/$name.txt"
        i=$((i + 1))
    done
}

# scenario FLEET FIRMWARE LANGUAGE TEST: devsim plays the fleet while the station runs the test.
scenario() {
    local name=$1 firmware=$2 language=$3 test=$4
    echo "--- $name: $test"
    lab_test_devsim --fleet "$LAB_TEST_TMP/$name.txt" --new-version $NEW_VERSION
    ws env UPGRADE_FLEET="$LAB_TEST_TMP/$name.txt" UPGRADE_FIRMWARE="$LAB_TEST_TMP/fw/$firmware" \
        UPGRADE_NEW_VERSION=$NEW_VERSION UPGRADE_LANGUAGE="$language" \
        "$PROGRAM" --gtest_brief=1 --gtest_filter="*$test"
    lab_test_stop_devsim
    cp "$DEVSIM_LOG" "$LAB_TEST_TMP/$name.log"
}

# check FLEET FIRMWARE: every device's outcome in devsim's own log.
check() {
    python3 - "$LAB_TEST_TMP/$1.txt" "$LAB_TEST_TMP/$1.log" "$LAB_TEST_TMP/fw/$2" <<'PY'
import collections, hashlib, json, sys
fleet_path, log_path, firmware = sys.argv[1:4]
want = hashlib.sha256(open(firmware, "rb").read()).hexdigest()
log = [json.loads(l) for l in open(log_path) if l.strip()]
commands = collections.Counter(e["dev"] for e in log if e.get("dir") == "in" and e.get("kind") == "upgrade")
for line in open(fleet_path):
    words = dict(w.split("=", 1) for w in line.split())
    number, faults = int(words["number"]), words.get("faults", "")
    events = [e for e in log if e.get("dev") == number and "event" in e]
    done = [e for e in events if e["event"] == "upgrade-done"]
    if words["mask"] == "255.255.255.0":
        assert commands[number] == 0, f"device {number} outside the subnet was sent {commands[number]} commands"
        outcome = "not started"
    elif "no-boot" in faults:
        assert [e["event"] for e in events if e["event"].startswith("upgrade")] == ["upgrade-start", "upgrade-no-boot"]
        outcome = "never asked for its file"
    elif "abort-after" in faults:
        failed = [e for e in events if e["event"] == "upgrade-failed"]
        assert len(failed) == 1 and "abort" in failed[0]["error"] and not done, events
        outcome = "ended its transfer with an error packet"
    else:
        assert commands[number] == 3, f"device {number}: {commands[number]} copies of the command"
        assert len(done) == 1 and done[0]["ok"] and done[0]["sha256"] == want, done
        outcome = f"{done[0]['bytes']} bytes identical in {done[0]['ms']:.0f} ms"
    print(f"device {number}: {outcome}")
PY
}

fleet ten $(for n in $(seq 301 310); do echo "number=$n"; done)
scenario ten big.bin 2 RunUpgradesEveryChosenDeviceInTurn
check ten big.bin

fleet faults "number=401" "number=402 faults=no-boot" "number=403 faults=abort-after=100" \
    "number=404 mask=255.255.255.0" "number=405 tftp=blksize=1024,tsize,timeout=2"
scenario faults small.bin 1 RunUpgradesEveryChosenDeviceInTurn
check faults small.bin

fleet stop "number=501" "number=502" "number=503"
scenario stop big.bin 2 StopEndsTheRunAfterTheCurrentDevice
python3 - "$LAB_TEST_TMP/stop.log" <<'PY'
import json, sys
log = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
started = sorted({e["dev"] for e in log if e.get("event") == "upgrade-start"})
assert started == [501], f"after Stop only the current device may upgrade: {started}"
print("stop: only the current device was upgraded")
PY

# A host that keeps reading the file during the run (the path is in every
# boot reply) while the current device stays silent: the silent device still
# fails after 10 s and the run goes on to the next one. The host reads from
# the lab's last address, which no device of this fleet has.
fleet reader "number=701 faults=no-boot" "number=702"
dev python3 "$LAB_TEST_SOURCE/tools/lab/tftp_load.py" slow --server "$WS_IP" --file "$LAB_TEST_TMP/fw/small.bin" \
    --bind "$DEV_LAST_IP" --count 1 --ack-delay 0.05 --max-seconds 45 >"$LAB_TEST_TMP/reader.json" &
reader=$!
scenario reader small.bin 2 RunUpgradesEveryChosenDeviceInTurn
wait "$reader"
check reader small.bin
python3 - "$LAB_TEST_TMP/reader.json" <<'PY'
import json, sys
fetch = json.loads(open(sys.argv[1]).read().split("\n")[0])
# Still reading when the run was over and the window closed: it read all along.
assert fetch["error"] == "Server stopped" and fetch["blocks"] >= 150, f"the reader did not read all along: {fetch}"
print(f"reader: {fetch['blocks']} blocks read during the run")
PY

fleet lossy "number=601 faults=drop=0.005" "number=602 faults=drop=0.005 tftp=timeout=1" \
    "number=603 faults=drop=0.005 tftp=tsize" "number=604 faults=drop=0.005"
scenario lossy small.bin 2 RunUpgradesEveryChosenDeviceInTurn
check lossy small.bin
echo PASS
