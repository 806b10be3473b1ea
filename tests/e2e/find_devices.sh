#!/usr/bin/env bash
# Finding devices end to end: a station with the real ports in the lab's
# workstation namespace (find_e2e) and devsim playing 300 devices of mixed
# types in the devices namespace, answering to the group and then to the
# workstation's own address. Skips (77) without root or namespaces; the lab is
# removed on every way out.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
PROGRAM=$LAB_TEST_BUILD/tests/e2e/find_e2e
lab_test_begin find --devices 300 --first-ip 10.77.1.1
[[ -x "$PROGRAM" ]] || { echo "FAIL: $PROGRAM is not built"; exit 1; }

# 300 devices from 10.77.1.1 on: the eleven type codes and the untyped
# 52-byte reply in turn, varied versions, numbers (some negative, some above
# 65535) and server addresses; every 10th device answers 400 ms late.
types=(51 6111 6113 6310 6401 6411 6418 6463 6801 6825 7118 none)
for ((i = 0; i < 300; i++)); do
    a=$(((10 << 24 | 77 << 16 | 1 << 8 | 1) + i))
    number=$((100000 + i * 7))
    ((i % 50 == 0)) && number=$((-(i + 1)))
    ((i % 37 == 0)) && number=$((i + 1))
    echo "number=$number ip=$((a >> 24 & 255)).$((a >> 16 & 255)).$((a >> 8 & 255)).$((a & 255))" \
        "type=${types[i % 12]} version=$((2000 + i % 30)).$((i % 13)).$((i % 29)).$((i % 7))" \
        "mask=255.255.0.0 gateway=10.77.0.254 server=10.77.0.$((1 + i % 3)) standby=10.77.$((i % 5)).9" \
        "$( ((i % 10 == 3)) && echo faults=search-delay=400)"
done >"$LAB_TEST_TMP/fleet.txt"

run() { ws env FIND_FLEET="$LAB_TEST_TMP/fleet.txt" "$PROGRAM" --gtest_brief=1 "$@"; }

# Replies to the group 224.0.3.0: every scenario.
lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt"
run
lab_test_stop_devsim

# Replies to the workstation's own address.
lab_test_devsim --fleet "$LAB_TEST_TMP/fleet.txt" --unicast-replies
run --gtest_filter='*AutomaticSearch*'
lab_test_stop_devsim
