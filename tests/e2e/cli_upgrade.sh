#!/usr/bin/env bash
# quillane-cli upgrade end to end: the run over the chosen devices through the
# tool's own boot responder and TFTP server, progress on standard error, a
# line per device; --verify searches again and catches a device that loaded
# the image but kept its version; a silent device fails, a missing number is
# reported; no file, and the boot port without the privilege, are refused.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_test_begin cliupgrade --devices 6
CLI=$LAB_TEST_CLI
[[ -x "$CLI" ]] || { echo "FAIL: $CLI is not built"; exit 1; }
T=$LAB_TEST_TMP

# Six devices: the third keeps its version after loading, the fifth ignores the upgrade command.
"$DEVSIM" --count 6 --seed 21 --first-ip 10.77.1.1 --print-fleet |
    awk 'NR == 3 { print $0 " faults=keep-version"; next } NR == 5 { print $0 " faults=ignore-upgrade"; next } { print }' \
        >"$T/fleet.txt"
lab_test_devsim --fleet "$T/fleet.txt"
number() { fleet_number "$T/fleet.txt" "$1"; }
n1=$(number 1) n2=$(number 2) n3=$(number 3) n4=$(number 4) n5=$(number 5) n6=$(number 6)
head -c 150000 /dev/urandom >"$T/firmware.bin"
chmod 644 "$T/firmware.bin"


lab_test_cli 3 verified upgrade --file "$T/firmware.bin" --devices "$n1,$n2,$n3,999" --verify --wait 500
lab_test_cli 3 silent upgrade --file "$T/firmware.bin" --devices "$n4,$n5" --wait 500
lab_test_cli 0 single upgrade --file "$T/firmware.bin" --devices "$n6" --wait 500
# A stop signal during a run, as the window's Stop: the current device
# (silent here) is waited for, the run ends there, the next device is never
# started. SIGTERM, as a background job of a script ignores SIGINT.
logged=$(wc -l <"$DEVSIM_LOG")
"$LAB" exec "$LAB_TEST_NAME" ws -- "$CLI" upgrade --file "$T/firmware.bin" --devices "$n5,$n6" --wait 300 \
    >"$T/stopped.out" 2>"$T/stopped.err" &
stopped=$!
for _ in $(seq 200); do  # until this run's upgrade command reached the silent device
    sed -n "$((logged + 1)),\$p" "$DEVSIM_LOG" >"$T/new.log"
    grep -q "\"dev\":$n5,.*\"kind\":\"upgrade\"" "$T/new.log" && break
    sleep 0.05
done
kill -TERM "$stopped"
code=0
wait "$stopped" || code=$?
((code == 3)) || { echo "FAIL: the stopped run exited $code, not 3"; cat "$T/stopped.out" "$T/stopped.err"; exit 1; }
lab_test_cli 1 nofile upgrade --file "$T/missing.bin" --all
lab_test_cli 1 unprivileged --as-nobody upgrade --file "$T/firmware.bin" --all

python3 - "$T" "$n1" "$n2" "$n3" "$n4" "$n5" "$n6" <<'PY'
import re, sys
tmp, n1, n2, n3, n4, n5, n6 = sys.argv[1], *sys.argv[2:]
fleet = {}
for line in open(f"{tmp}/fleet.txt"):
    d = dict(w.split("=", 1) for w in line.split())
    fleet[d["number"]] = d
read = lambda name: open(f"{tmp}/{name}.out").read().splitlines()
err = lambda name: open(f"{tmp}/{name}.err").read()

out = read("verified")
assert len(out) == 4, out
for n in (n1, n2):
    line = next(l for l in out if l.startswith(f"device {n} "))
    old = fleet[n]["version"]
    m = re.fullmatch(rf"device {n}  {re.escape(fleet[n]['ip'])}  version {re.escape(old)} -> (\S+)  upgraded", line)
    assert m and m.group(1) != old, line
line = next(l for l in out if l.startswith(f"device {n3} "))
assert line.endswith("failed: the version did not change") and f"version {fleet[n3]['version']} -> {fleet[n3]['version']}" in line, line
assert "device 999  not found by the search" in out, out
# Progress off a terminal: one line per 10 % for each device that loaded the file.
progress = err("verified")
for n in (n1, n2, n3):
    for p in (10, 50, 100):
        assert f"device {n}  {fleet[n]['ip']} {p}%" in progress, (n, p, progress)

out = read("silent")
assert f"device {n4}  {fleet[n4]['ip']}  upgraded" in out, out
assert f"device {n5}  {fleet[n5]['ip']}  failed: the device did not load the file" in out, out
assert read("single") == [f"device {n6}  {fleet[n6]['ip']}  upgraded"], read("single")
assert read("stopped") == [f"device {n5}  {fleet[n5]['ip']}  failed: the device did not load the file",
                           f"device {n6}  {fleet[n6]['ip']}  not upgraded: the run was stopped before this device"], read("stopped")
assert "The upgrade is complete the current device and then stop" in err("stopped"), err("stopped")
assert "The upgrade file does not exist" in err("nofile"), err("nofile")
assert "cannot use UDP port 67 (boot requests): it needs administrator rights (root or the CAP_NET_BIND_SERVICE capability)" in err("unprivileged"), err("unprivileged")
PY
grep -q '"event":"version-kept"' "$DEVSIM_LOG" || { echo "FAIL: the keep-version device never loaded the image"; exit 1; }
lab_test_stop_devsim
echo "cli upgrade: all checks passed"
