#!/usr/bin/env bash
# quillane-cli search end to end: the tool in the lab's workstation namespace,
# devsim playing a mixed fleet (some devices answering late) in the devices
# namespace. Every format, the type filter, a range walk, the station's own
# refusal, bad arguments, the port-taken error; no settings file is written.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin clisearch --devices 40
CLI=$LAB_TEST_CLI
[[ -x "$CLI" ]] || { echo "FAIL: $CLI is not built"; exit 1; }
T=$LAB_TEST_TMP

# 40 devices, every 7th answering 300 ms late.
"$DEVSIM" --count 40 --seed 5 --first-ip 10.77.1.1 --print-fleet |
    awk 'NR % 7 == 0 { print $0 " faults=search-delay=300"; next } { print }' >"$T/fleet.txt"
lab_test_devsim --fleet "$T/fleet.txt"

lab_test_cli 0 json search --format json
lab_test_cli 0 csv search --format csv --wait 800
lab_test_cli 0 table search
lab_test_cli 0 typed search --types 6401,51 --format json
lab_test_cli 0 range search --range 10.77.1.5-10.77.1.14 --format csv --wait 600
lab_test_cli 0 chinese search --language zh --format csv
lab_test_cli 0 nobody search --range 10.77.3.1-10.77.3.5 --format json --wait 300
lab_test_cli 1 backwards search --range 10.77.1.14-10.77.1.5
lab_test_cli 1 badtype search --types 1234
lab_test_cli 1 nocommand
lab_test_cli 0 help search --help

# The device endpoint's port taken (as by an open window): a clear message.
ws python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 25005))
open(sys.argv[1], "w").close()
time.sleep(20)' "$T/held" &
holder=$!
for _ in $(seq 100); do [[ -e "$T/held" ]] && break; sleep 0.05; done
lab_test_cli 1 taken search
kill "$holder"
wait "$holder" 2>/dev/null || true

python3 - "$T" <<'PY'
import csv, io, ipaddress, json, sys
tmp = sys.argv[1]
names = {51: "Fire linkage", 6111: "Power Control Card", 6113: "Mornitor Amplifier Card", 6401: "Play terminal",
         6411: "Collection card", 6418: "Calling card", 6463: "Network box", 6801: "Frame terminal",
         6825: "Network amplifier", 7118: "Noise interface module"}
fleet = {}
for line in open(f"{tmp}/fleet.txt"):
    d = dict(w.split("=", 1) for w in line.split())
    fleet[int(d["number"])] = d
assert len(fleet) == 40

def read(name):
    return open(f"{tmp}/{name}.out", encoding="utf-8").read(), open(f"{tmp}/{name}.err", encoding="utf-8").read()

def type_name(d):
    return "Unknown device" if d["type"] == "none" else names.get(int(d["type"]), "Unknown device")

def check_rows(rows, expected_numbers, what):
    got = [r["deviceNo"] for r in rows]
    assert sorted(got) == sorted(expected_numbers), (what, sorted(set(got) ^ set(expected_numbers)))
    ips = [ipaddress.ip_address(r["ip"]) for r in rows]
    assert ips == sorted(ips), (what, "sorted by IP address")
    assert sorted(r["no"] for r in rows) == list(range(1, len(rows) + 1)), (what, "row numbers in reply order")
    for r in rows:
        d = fleet[r["deviceNo"]]
        want = {"ip": d["ip"], "mask": d["mask"], "gateway": d["gateway"], "server": d["server"],
                "standbyServer": d["standby"], "version": d["version"], "type": type_name(d), "state": "",
                "chosen": False}
        for key, value in want.items():
            assert r[key] == value, (what, key, r, d)
        assert set(r) == set(want) | {"no", "deviceNo"}, r

out, err = read("json")
check_rows(json.loads(out), list(fleet), "json")
assert err == "40 devices found\n", err

out, _ = read("csv")
lines = list(csv.reader(io.StringIO(out)))
assert lines[0] == ["No.", "Choice", "Version", "State", "IP address", "Mask", "gateway", "Server IP address",
                    "Standby server IP", "Device type", "Device No."], lines[0]
assert sorted(int(l[10]) for l in lines[1:]) == sorted(fleet), "csv lists every device"
assert all(len(l) == 11 for l in lines)

out, _ = read("table")
rows = out.splitlines()
assert len(rows) == 41 and rows[0].startswith("No.  Choice  Version"), rows[:2]
assert all(rows[0].index("IP address") == r.index(fleet[int(r.split()[-1])]["ip"]) for r in rows[1:]), "aligned"

out, _ = read("typed")
check_rows(json.loads(out), [n for n, d in fleet.items() if d["type"] in ("6401", "51", "none")], "typed")

out, err = read("range")
in_range = [n for n, d in fleet.items() if ipaddress.ip_address("10.77.1.5") <= ipaddress.ip_address(d["ip"])
            <= ipaddress.ip_address("10.77.1.14")]
assert sorted(int(l[10]) for l in list(csv.reader(io.StringIO(out)))[1:]) == sorted(in_range), out
assert "probing the range 100%" in err, err

out, _ = read("chinese")
lines = list(csv.reader(io.StringIO(out)))
assert lines[0][0] == "序号" and lines[0][10] == "设备号", lines[0]
assert "播放终端" in out or "消防联动" in out or "未知设备" in out

out, err = read("nobody")
assert out == "[]\n" and err.endswith("probing the range 100%\n0 devices found\n"), (out, err)

out, err = read("backwards")
assert out == "" and "Start IP must be less than the end of IP" in err, err
_, err = read("badtype")
assert "'1234' is not a device type code" in err and "Try 'quillane-cli search --help'" in err, err
_, err = read("nocommand")
assert "no command given" in err, err
out, _ = read("help")
assert out.startswith("usage: quillane-cli search"), out
out, err = read("taken")
assert out == "" and "cannot use UDP port 25005 (device replies): it is already used by another program" in err, err
PY

# The tool reads and writes no settings file beside itself.
for f in Config.ini Quillane.ini Ostrel.ini; do
    [[ ! -e "$(dirname "$CLI")/$f" ]] || { echo "FAIL: quillane-cli wrote $f"; exit 1; }
done
lab_test_stop_devsim
echo "cli search: all checks passed"
