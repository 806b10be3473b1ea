#!/usr/bin/env bash
# quillane-cli as a tool that programs drive: search --check --format json is
# one document of devices (type codes) and findings; change and upgrade with
# --format json print one document of per-device results and a summary (dry
# runs too, sending nothing); upgrade --version skips the devices that report
# it already and, with --verify, fails a device that does not report it after.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin clidocs --devices 4
T=$LAB_TEST_TMP

# Four devices: the second at the wanted version already, the fourth keeps its old version.
"$DEVSIM" --count 4 --seed 5 --first-ip 10.77.1.1 --print-fleet |
    awk 'NR == 2 { sub(/version=[^ ]*/, "version=2024.3.1.8") } NR == 4 { $0 = $0 " faults=keep-version" } { print }' \
        >"$T/fleet.txt"
lab_test_devsim --fleet "$T/fleet.txt" --new-version 2024.3.1.8
n1=$(fleet_number "$T/fleet.txt" 1) n2=$(fleet_number "$T/fleet.txt" 2) n3=$(fleet_number "$T/fleet.txt" 3)
n4=$(fleet_number "$T/fleet.txt" 4)
head -c 70000 /dev/urandom >"$T/firmware.bin"
chmod 644 "$T/firmware.bin"
printf 'device,gateway\n%s,10.77.0.254\n%s,\n' "$n1" "$n2" >"$T/plan.csv"

lab_test_cli 0 search search --check --format json --wait 500
sent() { grep -c '"dir":"in".*"kind":"\(change\|upgrade\)' "$DEVSIM_LOG" || true; }
lab_test_cli 0 dry change --plan "$T/plan.csv" --dry-run --format json --wait 500
dry_sent=$(sent)
lab_test_cli 0 change change --plan "$T/plan.csv" --format json --wait 500
((dry_sent == 0 && $(sent) > 0)) || { echo "FAIL: the dry run sent $dry_sent commands, the change $(sent)"; exit 1; }
lab_test_cli 3 upgrade upgrade --file "$T/firmware.bin" --all --verify --version 2024.3.1.8 --format json --wait 500
lab_test_cli 3 again upgrade --file "$T/firmware.bin" --devices "$n1,$n2,$n3,$n4,77" --verify --version 2024.3.1.8 \
    --format json --wait 500

python3 - "$T" "$n1" "$n2" "$n3" "$n4" <<'PY'
import hashlib, json, sys
tmp, n1, n2, n3, n4 = sys.argv[1], *map(int, sys.argv[2:6])
fleet = {}
for line in open(f"{tmp}/fleet.txt"):
    d = dict(w.split("=", 1) for w in line.split())
    fleet[int(d["number"])] = d
doc = lambda name: json.load(open(f"{tmp}/{name}.out"))
by_device = lambda d: {r["device"]: r for r in d["results"]}

search = doc("search")
assert search["findings"] == [], search["findings"]
assert sorted(d["device"] for d in search["devices"]) == sorted(fleet), search
for d in search["devices"]:
    f = fleet[d["device"]]
    assert (d["ip"], d["mask"], d["version"]) == (f["ip"], f["mask"], f["version"]), (d, f)
    assert d["type"] == (None if f["type"] in ("none", "6310") else int(f["type"])), (d, f)
    assert set(d) == {"device", "ip", "mask", "gateway", "server", "standby", "type", "version"}, d

dry = by_device(doc("dry"))
assert dry[n1]["result"] == "would-change" and dry[n1]["settings_after"]["gateway"] == "10.77.0.254", dry[n1]
assert dry[n2]["result"] == "unchanged", dry[n2]
change = doc("change")
assert change["summary"] == {"devices": 2, "failed": 0, "results": {"success": 1, "unchanged": 1}, "exit_status": 0}, change
r = by_device(change)[n1]
assert r["settings_before"]["gateway"] == fleet[n1]["gateway"] and r["settings_after"]["gateway"] == "10.77.0.254", r

sha = hashlib.sha256(open(f"{tmp}/firmware.bin", "rb").read()).hexdigest()
up = doc("upgrade")
assert up["firmware"] == {"name": "firmware.bin", "size": 70000, "sha256": sha}, up["firmware"]
res = by_device(up)
assert res[n1]["result"] == res[n3]["result"] == "upgraded" and res[n1]["version_after"] == "2024.3.1.8", res
assert res[n2]["result"] == "skipped" and res[n2]["version_before"] == "2024.3.1.8", res[n2]
assert res[n4]["result"] == "failed" and "2024.3.1.8" in res[n4]["reason"], res[n4]
assert up["summary"]["exit_status"] == 3 and up["summary"]["failed"] == 1, up["summary"]

again = by_device(doc("again"))
assert [again[n]["result"] for n in (n1, n2, n3)] == ["skipped"] * 3, again
assert again[n4]["result"] == "failed" and again[77]["result"] == "not-found", again
for name in ("dry", "change", "upgrade", "again"):
    assert not open(f"{tmp}/{name}.out").read().startswith("device "), name
PY
[[ $(grep -c '"event":"upgrade-done"' "$DEVSIM_LOG") -eq 4 ]] || { echo "FAIL: not three plus one loads"; grep upgrade-done "$DEVSIM_LOG"; exit 1; }
lab_test_stop_devsim
echo "cli documents: all checks passed"
