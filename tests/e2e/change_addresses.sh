#!/usr/bin/env bash
# Changing device addresses end to end: a station with the real ports in the
# lab's workstation namespace (change_e2e) and devsim playing 200 devices in
# the devices namespace. 198 share the workstation's /16; two lie outside every
# local segment and are reached by the group form, one of them with the low 16
# bits of another device's number. Devices answer with the short result, the
# full result, or not at all. Skips (77) without root or namespaces; the lab
# is removed on every way out.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
PROGRAM=$LAB_TEST_BUILD/tests/e2e/change_e2e
lab_test_begin change --devices 198 --first-ip 10.77.1.1
[[ -x "$PROGRAM" ]] || { echo "FAIL: $PROGRAM is not built"; exit 1; }

for ((i = 0; i < 198; i++)); do
    number=$((3000 + i))
    ((i % 40 == 5)) && number=$((70000 + i))
    result=full
    ((i % 3 == 0)) && result=short
    echo "number=$number ip=10.77.$((1 + (1 + i) / 256)).$(((1 + i) % 256)) mask=255.255.0.0 gateway=10.77.0.254" \
        "server=10.77.0.1 standby=10.77.0.2 type=6401 result=$result" \
        "$( ((i % 25 == 8)) && echo faults=ignore-change)"
done >"$LAB_TEST_TMP/fleet.txt"
cat >>"$LAB_TEST_TMP/fleet.txt" <<'TXT'
number=9001  ip=10.78.0.5 mask=255.255.255.0 gateway=10.78.0.254 server=10.77.0.1 standby=10.77.0.2 type=6825 result=full
number=68536 ip=10.78.0.6 mask=255.255.255.0 gateway=10.78.0.254 server=10.77.0.1 standby=10.77.0.2 type=6825 result=full
TXT
dev ip addr add 10.78.0.5/24 dev lab-dev
dev ip addr add 10.78.0.6/24 dev lab-dev

# Each scenario with a fresh fleet: the first one moves the devices.
for scenario in ChosenDevicesTakeConsecutiveAddresses StopPressEndsTheBatchEarly; do
    lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt"
    ws env CHANGE_FLEET="$LAB_TEST_TMP/fleet.txt" DEVSIM_LOG="$DEVSIM_LOG" "$PROGRAM" --gtest_brief=1 \
        --gtest_filter="*$scenario*"
    lab_test_stop_devsim
done
echo PASS
