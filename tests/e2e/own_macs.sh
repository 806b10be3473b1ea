#!/usr/bin/env bash
# A lab whose devices have hardware addresses of their own (lab up
# --own-macs): the workstation's neighbour table, read as an upgrade run reads
# it, names each device's own address and "unknown" for an address nobody
# holds; a search reaches every device once although each sits on a card of
# its own; a device's boot request carries that same address, and a device
# told to restart late (boot-delay) asks only after its delay.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
LOOKUP=$LAB_TEST_BUILD/tests/e2e/neighbour_lookup_e2e
[[ -x "$LOOKUP" ]] || { echo "FAIL: $LOOKUP not built"; exit 1; }
lab_test_begin macs --devices 4 --own-macs

cat >"$LAB_TEST_TMP/fleet.txt" <<'FLEET'
number=301 ip=10.77.1.1 type=6401
number=302 ip=10.77.1.2 type=6401
number=303 ip=10.77.1.3 type=6401 faults=boot-delay=1500
number=304 ip=10.77.1.4 type=6401
FLEET
lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt"

ws "$LOOKUP" 10.77.1.1 10.77.1.3 10.77.1.4 10.77.9.9 >"$LAB_TEST_TMP/lookup.txt"
cat "$LAB_TEST_TMP/lookup.txt"
diff <(cut -d' ' -f1,2 "$LAB_TEST_TMP/lookup.txt") - <<'WANT'
10.77.1.1 02:51:0a:4d:01:01
10.77.1.3 02:51:0a:4d:01:03
10.77.1.4 02:51:0a:4d:01:04
10.77.9.9 unknown
WANT

ws python3 - "$DEVICE_CLIENT" "$DEVSIM_LOG" <<'PY'
import importlib.util, json, sys, time
spec = importlib.util.spec_from_file_location("device_client", sys.argv[1])
dc = importlib.util.module_from_spec(spec)
spec.loader.exec_module(dc)
log_path = sys.argv[2]

def events():
    return [json.loads(l) for l in open(log_path).read().split("\n")[:-1] if l.strip()]

# One search to the group: each device answers once, not once per card.
s = dc.device_socket()
s.sendto(dc.search_probe(), (dc.COMMAND_GROUP, dc.COMMAND_PORT))
replies = [r for r in dc.receive(s, 1.5) if r["kind"] == "search-reply"]
numbers = sorted(r["number"] for r in replies)
assert numbers == [301, 302, 303, 304], numbers
print("search: each device answered once")

# Devices 302 and 303 told to upgrade; nobody answers their boot requests here.
boot = dc.boot_socket()
for ip in ("10.77.1.2", "10.77.1.3"):
    for _ in range(3):
        s.sendto(dc.upgrade_command(), (ip, dc.COMMAND_PORT))
seen = {}
deadline = time.monotonic() + 6
while len(seen) < 2 and time.monotonic() < deadline:
    request = dc.answer_boot_request(boot, "none.bin", "10.77.0.1", "0.0.0.0", wait=deadline - time.monotonic())
    if request:
        seen.setdefault(request["peer"].split(":")[0], request["chaddr"])
assert seen == {"10.77.1.2": "02:51:0a:4d:01:02", "10.77.1.3": "02:51:0a:4d:01:03"}, seen
print("boot requests carry each device's own hardware address")

log = events()
start = {e["dev"]: e["t"] for e in log if e.get("event") == "upgrade-start"}
first_request = {}
for e in log:
    if e.get("kind") == "boot-request" and e.get("dir") == "out":
        first_request.setdefault(e["dev"], e["t"])
        assert e["mac"] == "02:51:0a:4d:01:%02x" % (e["dev"] - 300), e
late = first_request[303] - start[303]
prompt = first_request[302] - start[302]
assert late >= 1500 and prompt < 1000, (late, prompt)
assert any(e.get("event") == "boot-delayed" and e["dev"] == 303 for e in log)
print(f"device 303 asked {late:.0f} ms after its command (boot-delay 1500), 302 after {prompt:.0f} ms")
PY
lab_test_stop_devsim
echo "own hardware addresses: passed"
