#!/usr/bin/env bash
# Simulated devices upgrade through the station's own firmware services: each
# device, told to upgrade, broadcasts its boot request; the station's boot
# responder answers with the workstation's address and the firmware path; the
# device fetches that file from the station's TFTP server, with and without
# options, and reports it byte-identical.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
SERVER_BIN=$LAB_TEST_BUILD/tests/e2e/tftp_server_e2e
[[ -x "$SERVER_BIN" ]] || { echo "FAIL: $SERVER_BIN not built"; exit 1; }
lab_test_begin bfw --devices 5

mkdir -p "$LAB_TEST_TMP/fw" "$LAB_TEST_TMP/app/log"
FW=$LAB_TEST_TMP/fw/unit-2.1.bin
head -c $((1024 * 1024 + 77)) /dev/urandom >"$FW"

plan=("201 none" "202 blksize=1024,tsize,timeout=2" "203 tsize" "204 timeout=1" "205 blksize=512")
: >"$LAB_TEST_TMP/fleet.txt"
i=1
for entry in "${plan[@]}"; do
    read -r number options <<<"$entry"
    echo "number=$number ip=10.77.1.$i type=6401 version=2016.1.1.1 tftp=$options" >>"$LAB_TEST_TMP/fleet.txt"
    echo "$number 10.77.1.$i $options" >>"$LAB_TEST_TMP/plan.txt"
    i=$((i + 1))
done

# The station (all its services) in the workstation namespace; "lab down" ends it.
ws "$SERVER_BIN" "$FW" --station --app-dir "$LAB_TEST_TMP/app" >"$LAB_TEST_TMP/station.out" 2>&1 &
for _ in $(seq 100); do grep -qs "^ready station tftp up" "$LAB_TEST_TMP/station.out" && break; sleep 0.05; done
grep -q '^ready station tftp up' "$LAB_TEST_TMP/station.out" || { cat "$LAB_TEST_TMP/station.out"; exit 1; }
lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt" --new-version 2020.2.2.2

ws python3 - "$DEVICE_CLIENT" "$DEVSIM_LOG" "$LAB_TEST_TMP/plan.txt" "$FW" "$WS_IP" <<'PY'
import hashlib, importlib.util, json, socket, sys, time
client_spec = importlib.util.spec_from_file_location("device_client", sys.argv[1])
dc = importlib.util.module_from_spec(client_spec)
client_spec.loader.exec_module(dc)
log_path, plan_path, firmware, ws_ip = sys.argv[2:6]
want = hashlib.sha256(open(firmware, "rb").read()).hexdigest()
size = len(open(firmware, "rb").read())

def events():
    # Whole lines only: the simulator may be writing the last one.
    return [json.loads(l) for l in open(log_path).read().split("\n")[:-1] if l.strip()]

def wait_for(match, timeout=60):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = [e for e in events() if match(e)]
        if found:
            return found[0]
        time.sleep(0.05)
    return None

# The station holds the device port; the command goes out from a port of its own.
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for line in open(plan_path):
    number, ip, options = line.split()
    number = int(number)
    for _ in range(3):
        s.sendto(dc.upgrade_command(), (ip, dc.COMMAND_PORT))
    e = wait_for(lambda e: e.get("dev") == number and e.get("event") in ("upgrade-done", "upgrade-failed"))
    assert e, f"no upgrade outcome for device {number}"
    reply = wait_for(lambda e: e.get("dev") == number and e.get("kind") == "boot-reply" and "siaddr" in e, 1)
    assert reply and reply["siaddr"] == ws_ip and reply["file"] == firmware, reply
    assert reply["len"] == 300 and reply["yiaddr"] == ws_ip.rsplit(".", 1)[0] + ".254", reply
    assert e["ok"] is True, e
    # The server agrees 512-byte blocks whatever the device asks for.
    assert (e["bytes"], e["sha256"], e["blksize"], e["blocks"]) == (size, want, 512, size // 512 + 1), (options, e)
    assert ("tsize" in e) == ("tsize" in options), e
    print(f"device {number}, options {options}: {size} bytes ok ({e['ms']:.0f} ms)", flush=True)
PY

grep -q "Blocks Served" "$LAB_TEST_TMP"/app/log/*.log
lab_test_stop_devsim
echo "5 passed, 0 failed"
