#!/usr/bin/env bash
# quillane-cli change end to end: a search, the devices chosen by number, the
# address-change batch and its answer check, one line per device; a device
# that ignores the change fails, a number nobody has is reported, the dialog's
# first-octet rule refuses before anything is sent.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin clichange --devices 8
CLI=$LAB_TEST_CLI
[[ -x "$CLI" ]] || { echo "FAIL: $CLI is not built"; exit 1; }
T=$LAB_TEST_TMP

# Eight devices; the fourth ignores address changes, the third answers in the short form.
"$DEVSIM" --count 8 --seed 9 --first-ip 10.77.1.1 --print-fleet |
    awk 'NR == 4 { print $0 " faults=ignore-change"; next } NR == 3 { print $0 " result=short"; next } { print }' \
        >"$T/fleet.txt"
lab_test_devsim --fleet "$T/fleet.txt"
number() { fleet_number "$T/fleet.txt" "$1"; }
n1=$(number 1) n2=$(number 2) n3=$(number 3) n4=$(number 4) n5=$(number 5)


lab_test_cli 3 batch change --devices "$n1,$n2,$n3,$n4,999" --ip 10.77.5.1 --mask 255.255.0.0 --wait 500
lab_test_cli 0 gateway change --devices "$n5" --gateway 10.77.0.254 --wait 500
lab_test_cli 1 octet change --all --ip 0.1.2.3
lab_test_cli 3 nobody change --devices 999 --mask 255.255.0.0 --wait 300
lab_test_cli 0 after search --format json --wait 500

python3 - "$T" "$n1" "$n2" "$n3" "$n4" "$n5" <<'PY'
import json, sys
tmp, n1, n2, n3, n4, n5 = sys.argv[1], *sys.argv[2:]
read = lambda name: open(f"{tmp}/{name}.out").read().splitlines()
err = lambda name: open(f"{tmp}/{name}.err").read()

batch = read("batch")
# Counting up from --ip over the chosen devices in table order.
assert f"device {n1}  10.77.1.1 -> 10.77.5.1  Success" in batch, batch
assert f"device {n2}  10.77.1.2 -> 10.77.5.2  Success" in batch, batch
assert f"device {n3}  10.77.1.3 -> 10.77.1.3  Success" in batch, batch  # the short result carries no address
assert f"device {n4}  10.77.1.4 -> 10.77.1.4  Failure" in batch, batch  # the answer check gave up on it
assert "device 999  not found by the search" in batch, batch
assert len(batch) == 5, batch

assert read("gateway") == [f"device {n5}  10.77.1.5 -> 10.77.1.5  Success"], read("gateway")
assert read("octet") == [] and "A first bit IP address is between 1~223" in err("octet"), err("octet")
assert read("nobody") == ["device 999  not found by the search"], read("nobody")
assert "none of the devices was found" in err("nobody"), err("nobody")

after = {str(r["deviceNo"]): r for r in json.loads(open(f"{tmp}/after.out").read())}
assert after[n1]["ip"] == "10.77.5.1" and after[n2]["ip"] == "10.77.5.2", (after[n1], after[n2])
assert after[n4]["ip"] == "10.77.1.4", after[n4]
assert after[n5]["gateway"] == "10.77.0.254", after[n5]
PY
# Neither the dialog's file nor the window's settings are written.
for f in Config.ini Quillane.ini Ostrel.ini; do
    [[ ! -e "$(dirname "$CLI")/$f" ]] || { echo "FAIL: quillane-cli wrote $f"; exit 1; }
done
lab_test_stop_devsim
echo "cli change: all checks passed"
