#!/usr/bin/env bash
# quillane-cli change never sends a setting that would lose a device: plans
# and arguments that give a device a multicast, loopback, network, broadcast
# or zero address, or a split mask, are refused with exit 1 and the devices
# receive nothing; an exported inventory with one address edited, its
# unchanged cells ("0.0.0.0" for none) included, goes through.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin cliunusable --devices 4
CLI=$LAB_TEST_CLI
[[ -x "$CLI" ]] || { echo "FAIL: $CLI is not built"; exit 1; }
T=$LAB_TEST_TMP

# Four devices in 10.77.0.0/16 without a standby server (0.0.0.0).
"$DEVSIM" --count 4 --seed 24 --first-ip 10.77.1.1 --print-fleet >"$T/fleet.txt"
lab_test_devsim --fleet "$T/fleet.txt"
n1=$(fleet_number "$T/fleet.txt" 1) n2=$(fleet_number "$T/fleet.txt" 2)
changes() { sed -n "$(($1 + 1)),\$p" "$DEVSIM_LOG" | grep '"dir":"in"' | grep '"kind":"change' || true; }

logged=$(wc -l <"$DEVSIM_LOG")
# One plan per unusable setting: a sound row for the second device, then the
# unusable one for the first (line 3).
declare -A sound=([ip]=10.77.9.1 [mask]=255.255.255.0 [gateway]=10.77.0.254 [server]=10.77.0.9 [standby]=10.77.0.9)
i=0
for cell in ip=224.0.0.1 ip=10.77.255.255 ip=127.0.0.1 ip=0.0.0.0 ip=10.77.0.0 mask=255.0.255.0 \
    gateway=239.1.2.3 server=255.255.255.255 standby=0.0.0.1; do
    i=$((i + 1)) column=${cell%%=*}
    printf 'device,%s\n%s,%s\n%s,%s\n' "$column" "$n2" "${sound[$column]}" "$n1" "${cell#*=}" >"$T/plan$i.csv"
    lab_test_cli 1 "plan$i" change --plan "$T/plan$i.csv" --wait 400
done
lab_test_cli 1 argnetwork change --devices "$n1" --ip 10.77.0.0 --wait 400
lab_test_cli 1 argloopback change --devices "$n1" --ip 127.0.0.1 --wait 400
lab_test_cli 1 argmask change --devices "$n1" --mask 255.0.255.0 --wait 400
changes "$logged" >"$T/nothing.log"
[[ ! -s "$T/nothing.log" ]] || { echo "FAIL: an unusable setting was sent:"; cat "$T/nothing.log"; exit 1; }

# The inventory as search exports it, with the first device's address edited.
lab_test_cli 0 inventory search --format csv --wait 500
python3 - "$T/inventory.out" "$T/inventory.csv" "$n1" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig")))
header, body = rows[0], rows[1:]
ip, number = header.index("IP address"), header.index("Device No.")  # quillane-cli writes English by default
for row in body:
    if row[number] == sys.argv[3]:
        row[ip] = "10.77.5.1"
csv.writer(open(sys.argv[2], "w", encoding="utf-8", newline="")).writerows([header] + body)
PY
grep -q ',0.0.0.0,' "$T/inventory.csv" || { echo "FAIL: the inventory has no standby of 0.0.0.0"; exit 1; }
logged=$(wc -l <"$DEVSIM_LOG")
lab_test_cli 0 sound change --plan "$T/inventory.csv" --wait 500
changes "$logged" >"$T/sound.log"

python3 - "$T" "$n1" "$i" <<'PY'
import json, sys
tmp, n1, plans = sys.argv[1], sys.argv[2], int(sys.argv[3])
err = lambda name: open(f"{tmp}/{name}.err").read()
columns = ["ip", "ip", "ip", "ip", "ip", "mask", "gateway", "server", "standby"]
for k in range(1, plans + 1):
    e = err(f"plan{k}")
    assert f'plan{k}.csv, line 3, column "{columns[k - 1]}": device {n1}: ' in e and "nothing was sent" in e, e
assert "The IP address cannot be the network address of its subnet: 10.77.0.0/255.255.0.0" in err("plan5"), err("plan5")
assert "--ip: device" in err("argnetwork") and "network address" in err("argnetwork"), err("argnetwork")
assert "loopback" in err("argloopback"), err("argloopback")
assert "subnet mask" in err("argmask"), err("argmask")
sent = [json.loads(l) for l in open(f"{tmp}/sound.log") if l.strip()]
assert [(str(e["dev"]), e["new_ip"], e["new_standby"]) for e in sent] == [(n1, "10.77.5.1", "0.0.0.0")], sent
PY
lab_test_stop_devsim
echo "cli unusable settings: all checks passed"
