#!/usr/bin/env bash
# quillane-cli's fleet tools end to end: search --check points out two devices
# answering with one address; change --plan gives each listed device exactly
# its row's settings (a device already as planned gets nothing) and a plan that
# would give two devices one address sends nothing; --dry-run sends nothing;
# a batch that would do so refuses those rows and changes the rest; upgrade
# --report --verify records the image the devices fetched; the upgrade's
# checks refuse a path the boot reply cannot carry and a taken TFTP port.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin clifleet --devices 8
CLI=$LAB_TEST_CLI
[[ -x "$CLI" ]] || { echo "FAIL: $CLI is not built"; exit 1; }
lab_test_link second --devices 0 --ws-ip 10.78.0.1 --first-ip 10.78.1.1
T=$LAB_TEST_TMP

"$DEVSIM" --count 8 --seed 31 --first-ip 10.77.1.1 --standby 10.77.0.2 --print-fleet >"$T/fleet.txt"
number() { fleet_number "$T/fleet.txt" "$1"; }
n1=$(number 1) n2=$(number 2) n3=$(number 3) n4=$(number 4) n5=$(number 5) n6=$(number 6) n7=$(number 7)
lab_test_devsim --fleet "$T/fleet.txt"
# Behind the second card, another device answering with the fifth one's address.
echo "number=700001 ip=10.77.1.5 type=6401 version=2020.1.2.3 mask=255.255.0.0 gateway=10.77.0.1 server=10.77.0.1 standby=0.0.0.0" >"$T/twin.txt"
on_side second ip addr add 10.77.1.5/16 dev lab-dev
fleet_pid=$DEVSIM_PID fleet_log=$DEVSIM_LOG
lab_test_devsim --side second --fleet "$T/twin.txt"
twin_pid=$DEVSIM_PID
DEVSIM_PID=$fleet_pid DEVSIM_LOG=$fleet_log

lab_test_cli 3 check search --check --wait 800
lab_test_cli 3 checkcsv search --check --format csv --wait 800
kill -TERM "$twin_pid"
wait "$twin_pid" 2>/dev/null || true
on_side second ip addr del 10.77.1.5/16 dev lab-dev

# Commands seen by the devices from here on.
since() { sed -n "$(($1 + 1)),\$p" "$DEVSIM_LOG" | grep '"dir":"in"' | grep '"kind":"change' || true; }

# A plan as a spreadsheet writes it: byte-order mark, semicolons, CR LF, a quoted cell.
printf '\xEF\xBB\xBFdevice;IP;gateway;mask\r\n%s;10.77.2.1;10.77.0.254;\r\n%s;;;"255.255.255.0"\r\n%s;10.77.1.3;;\r\n999;10.77.2.9;;\r\n' \
    "$n1" "$n2" "$n3" >"$T/plan.csv"
printf 'device,ip\n%s,10.77.3.1\n%s,10.77.3.1\n' "$n4" "$n6" >"$T/conflict.csv"
printf 'device,ip\n%s,10.77.1.7\n' "$n6" >"$T/taken.csv"
printf 'device,ip,colour\n%s,10.77.3.1,red\n' "$n4" >"$T/unknown.csv"

logged=$(wc -l <"$DEVSIM_LOG")
lab_test_cli 3 dryplan change --plan "$T/plan.csv" --dry-run --wait 500
lab_test_cli 1 conflict change --plan "$T/conflict.csv" --wait 500
lab_test_cli 1 taken change --plan "$T/taken.csv" --wait 500
lab_test_cli 1 unknown change --plan "$T/unknown.csv" --wait 500
since "$logged" >"$T/nothing.log"
[[ ! -s "$T/nothing.log" ]] || { echo "FAIL: a dry run or a refused plan sent commands:"; cat "$T/nothing.log"; exit 1; }

logged=$(wc -l <"$DEVSIM_LOG")
lab_test_cli 3 plan change --plan "$T/plan.csv" --report "$T/change.jsonl" --wait 500
since "$logged" >"$T/plan.log"

# Counting up from .6 would give devices 4 and 5 the addresses of devices 6 and
# 7 (found, not chosen): those two are refused, device 8 keeps .8 and is changed.
n8=$(number 8)
logged=$(wc -l <"$DEVSIM_LOG")
lab_test_cli 3 batch change --devices "$n4,$n5,$n8" --ip 10.77.1.6 --mask 255.255.0.0 --wait 500
since "$logged" >"$T/batch.log"

# Upgrades: a report with --verify; a path too long for the boot reply; a taken TFTP port.
head -c 70000 /dev/urandom >"$T/firmware.bin"
chmod 644 "$T/firmware.bin"
sha=$(sha256sum "$T/firmware.bin" | cut -d' ' -f1)
lab_test_cli 0 dryup upgrade --file "$T/firmware.bin" --devices "$n6,$n7" --dry-run --wait 500
lab_test_cli 0 upgrade upgrade --file "$T/firmware.bin" --devices "$n6,$n7" --verify --report "$T/upgrade.jsonl" --wait 500
long="$T/$(printf 'f%.0s' $(seq 120))"
mkdir -p "$long" && cp "$T/firmware.bin" "$long/firmware.bin" && chmod -R a+rX "$T"
logged=$(wc -l <"$DEVSIM_LOG")
lab_test_cli 1 longpath upgrade --file "$long/firmware.bin" --devices "$n6" --wait 300
ws python3 -c 'import socket,sys,time; s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM); s.bind(("0.0.0.0",69)); open(sys.argv[1],"w").write("up"); time.sleep(30)' "$T/holder.up" &
holder=$!
for _ in $(seq 100); do [[ -e "$T/holder.up" ]] && break; sleep 0.05; done
lab_test_cli 1 taken69 upgrade --file "$T/firmware.bin" --devices "$n6" --wait 300
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
sed -n "$((logged + 1)),\$p" "$DEVSIM_LOG" | grep '"kind":"upgrade"' >"$T/refused-upgrades.log" || true
[[ ! -s "$T/refused-upgrades.log" ]] || { echo "FAIL: a refused upgrade sent its command"; exit 1; }

python3 - "$T" "$sha" "$n1" "$n2" "$n3" "$n4" "$n5" "$n6" "$n7" "$n8" <<'PY'
import json, sys
tmp, sha, n1, n2, n3, n4, n5, n6, n7, n8 = sys.argv[1], sys.argv[2], *sys.argv[3:]
read = lambda name: open(f"{tmp}/{name}.out").read().splitlines()
err = lambda name: open(f"{tmp}/{name}.err").read()
log = lambda name: [json.loads(l) for l in open(f"{tmp}/{name}.log") if l.strip()]

check = read("check")
assert any(l.strip() == f"Devices {n5}, 700001 share the IP address 10.77.1.5" or
           l.strip() == f"Devices 700001, {n5} share the IP address 10.77.1.5" for l in check), check
assert "share the IP address 10.77.1.5" in err("checkcsv"), err("checkcsv")
assert not any("share" in l for l in read("checkcsv")), "CSV stays data only"

dry = read("dryplan")
assert any(l.startswith(f"device {n1}  10.77.1.1  direct to 10.77.1.1: ip 10.77.2.1 mask 255.255.0.0 gateway 10.77.0.254") for l in dry), dry
assert any(l.startswith(f"device {n3}  10.77.1.3  unchanged") for l in dry), dry
assert "device 999  not found by the search" in dry, dry
assert 'conflict.csv, line 2, column "ip": device' in err("conflict") and "nothing was sent" in err("conflict"), err("conflict")
assert f"10.77.1.7 is the address of device {n7}" in err("taken"), err("taken")
assert 'unknown.csv, line 1, column "colour": unknown column' in err("unknown"), err("unknown")

# Exactly each row's settings, kept ones from the device's own; nothing to the unchanged device.
plan = {str(e["dev"]): e for e in log("plan")}
assert set(plan) == {n1, n2}, plan.keys()
assert (plan[n1]["new_ip"], plan[n1]["new_gateway"], plan[n1]["new_mask"]) == ("10.77.2.1", "10.77.0.254", "255.255.0.0"), plan[n1]
assert (plan[n2]["new_ip"], plan[n2]["new_mask"]) == ("10.77.1.2", "255.255.255.0"), plan[n2]
assert f"device {n3}  10.77.1.3  unchanged: it has the planned settings already" in read("plan"), read("plan")
records = [json.loads(l) for l in open(f"{tmp}/change.jsonl")]
by = {str(r["device"]): r for r in records}
assert by[n1]["result"] == "success" and by[n1]["addressAfter"] == "10.77.2.1", by[n1]
assert by[n3]["result"] == "unchanged" and by["999"]["result"] == "not-found", records

batch = {str(e["dev"]): e["new_ip"] for e in log("batch")}
assert batch == {n8: "10.77.1.8"}, batch
out = read("batch")
assert f"device {n4}  10.77.1.4 -> 10.77.1.4  Failure (refused: address conflict: 10.77.1.6 is the address of device {n6})" in out, out
assert f"device {n5}  10.77.1.5 -> 10.77.1.5  Failure (refused: address conflict: 10.77.1.7 is the address of device {n7})" in out, out
assert f"device {n8}  10.77.1.8 -> 10.77.1.8  Success" in out, out

assert read("dryup")[0].startswith(f"file {tmp}/firmware.bin  70000 bytes  sha256 {sha}"), read("dryup")
upgrade = [json.loads(l) for l in open(f"{tmp}/upgrade.jsonl")]
assert {str(r["device"]) for r in upgrade} == {n6, n7}, upgrade
for r in upgrade:
    assert r["result"] == "success" and r["firmware"] == {"name": "firmware.bin", "size": 70000, "sha256": sha}, r
    assert r["versionAfter"] and r["versionAfter"] != r["versionBefore"], r
assert "path is too long for the devices" in err("longpath"), err("longpath")
assert "UDP port 69" in err("taken69"), err("taken69")
PY
fetched=$(grep '"event":"upgrade-done"' "$DEVSIM_LOG" | grep -c "\"sha256\":\"$sha\"")
((fetched == 2)) || { echo "FAIL: $fetched devices fetched the image, not 2"; exit 1; }
lab_test_stop_devsim
echo "cli fleet: all checks passed"
