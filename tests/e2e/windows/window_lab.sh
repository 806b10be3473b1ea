#!/usr/bin/env bash
# The Windows window (quillane.exe) under wine in a lab, worked from outside
# its process as an operator would (tests/e2e/windows/window_driver.cpp):
# Find lists the simulated fleet; Modify IP on three chosen devices ends in
# "Success" for each and the simulator heard the three commands; Upgrade on
# two devices reaches "100%" and the simulator loaded the image byte for byte.
# The workstation's own address comes from the adapter's current address
# list: wine keeps no "IPAddress" / "SubnetMask" values, and none may be
# written into the prefix.
#
# Runs from the Windows build (ctest there): needs root, wine64, Xvfb and the
# Chinese dialog font; skips with the reason when one is missing. The
# simulator is the Linux build's (build/, or built here on first use).
set -euo pipefail
SRC=${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
WBUILD=${QUILLANE_WINDOWS_BUILD_DIR:-$SRC/build-windows}
source "$SRC/tools/windows/wine_session.sh"
source "$SRC/tools/windows/window_lab.sh"

window_lab_skip_unless_possible
window_lab_begin winlab --devices 6

# Six devices of three types, every one listed (all type boxes are ticked).
"$DEVSIM" --count 6 --seed 18 --first-ip 10.77.1.1 --types 6401,6825,51 --print-fleet >"$T/fleet.txt"
lab_test_devsim --fleet "$T/fleet.txt"
head -c 300000 /dev/urandom >"$T/firmware.bin"
chmod 644 "$T/firmware.bin"
window_lab_start_tool 2 "$T/firmware.bin"

# Find: the whole fleet, every device with its address and type.
drive click 1001
drive wait-rows 6 20000
drive table >"$T/table.txt"
grep $'^row\t' "$T/table.txt" >"$T/found.txt"
python3 - "$T" <<'PY'
import sys
tmp = sys.argv[1]
fleet = {d["number"]: d for d in (dict(w.split("=", 1) for w in l.split()) for l in open(f"{tmp}/fleet.txt"))}
rows = [l.rstrip("\n").split("\t")[1:] for l in open(f"{tmp}/found.txt")]
assert len(rows) == 6, rows
assert sorted(r[10] for r in rows) == sorted(fleet), (rows, fleet)
for r in rows:
    assert r[4] == fleet[r[10]]["ip"] and r[2] == fleet[r[10]]["version"], (r, fleet[r[10]])
    assert r[1] == "" and r[3] == "", r
PY
number_of_row() { awk -F'\t' -v r=$(($1 + 1)) 'NR == r { print $12 }' "$T/found.txt"; }

# Modify IP on rows 0, 2 and 4, chosen by clicks on their Choice cells: only
# the address changes, counting up from 10.77.3.1.
for row in 0 2 4; do
    drive click-cell "$row" 1
    drive wait-cell "$row" 1 5000 "√"
done
[[ "$(drive cell 1 1)" == "" ]] || { echo "FAIL: row 1 was chosen by a click on another row"; exit 1; }
changes_before=$(wc -l <"$DEVSIM_LOG")
drive click 1010
drive dialog 10000 "Modify the IP"
drive dlg-ip 1012 10.77.3.1
for box in 1017:1 1018:0 1019:0 1020:0 1021:0; do drive dlg-check "${box%:*}" "${box#*:}"; done
drive dlg-combo 1023 0
drive dlg-click 1
drive dlg-gone 10000
for row in 0 2 4; do drive wait-cell "$row" 3 30000 "Success"; done
drive wait-text 1010 20000 "Edit IP"  # the run has ended
drive no-message
tail -n +"$((changes_before + 1))" "$DEVSIM_LOG" >"$T/changes.log"
python3 - "$T" "$(number_of_row 0)" "$(number_of_row 2)" "$(number_of_row 4)" <<'PY'
import json, sys
tmp, *numbers = sys.argv[1:]
log = [json.loads(l) for l in open(f"{tmp}/changes.log") if l.strip()]
heard = {}
for e in log:
    if e.get("dir") == "in" and e.get("kind", "").startswith("change"):
        heard.setdefault(str(e["dev"]), set()).add(e.get("new_ip"))
assert sorted(heard) == sorted(numbers), heard
assert sorted(ip for ips in heard.values() for ip in ips) == ["10.77.3.1", "10.77.3.2", "10.77.3.3"], heard
PY

# Upgrade rows 1 and 3: Cancel clears the choice, two clicks choose them.
drive click 1003
for row in 0 2 4; do drive wait-cell "$row" 1 5000 ""; done
for row in 1 3; do
    drive click-cell "$row" 1
    drive wait-cell "$row" 1 5000 "√"
done
drive click 1009
for row in 1 3; do drive wait-cell "$row" 3 90000 "100%"; done
drive wait-text 1009 30000 "Upgrade"  # the run has ended
drive no-message
python3 - "$DEVSIM_LOG" "$T/firmware.bin" "$(number_of_row 1)" "$(number_of_row 3)" <<'PY'
import hashlib, json, sys
log_path, image, *numbers = sys.argv[1:]
data = open(image, "rb").read()
done = {str(e["dev"]): e for e in map(json.loads, filter(str.strip, open(log_path))) if e.get("event") == "upgrade-done"}
assert sorted(done) == sorted(numbers), done
for n in numbers:
    assert (done[n]["bytes"], done[n]["sha256"]) == (len(data), hashlib.sha256(data).hexdigest()), done[n]
PY

window_lab_close_tool
# Only the adapter's current list gave the workstation its address.
for hive in system.reg user.reg; do
    if grep -Eqi '^"(IPAddress|SubnetMask)"=' "$WINE_SESSION_DIR/prefix/$hive"; then
        echo "FAIL: address values were written into the prefix's $hive"
        grep -Ei '^"(IPAddress|SubnetMask)"=' "$WINE_SESSION_DIR/prefix/$hive"
        exit 1
    fi
done
lab_test_stop_devsim
echo "window lab: all checks passed"
