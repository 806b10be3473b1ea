#!/usr/bin/env bash
# One address-change batch over every device of a simulated fleet (default
# 1000), each run in a lab of its own: time from OK to the last command sent
# and to the last result, and whether every device took its new address.
#
#   bench/change_bench.sh [DEVICES] [RUNS = 3]       (needs root)
#
# Builds nothing: expects build/bench/change_bench and build/tools/devsim/devsim
# (or QUILLANE_BUILD_DIR). Not part of ctest.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_begin change_bench
devices=${1:-1000}
runs=${2:-3}

status=0
for ((run = 1; run <= runs; run++)); do
    NAME="changebench-$$-$run"
    "$LAB" up "$NAME" --devices "$devices" >/dev/null || exit 1
    "$LAB" devsim "$NAME" >/dev/null || exit 1
    echo "run $run:"
    "$LAB" exec "$NAME" ws -- "$PROGRAM" "$devices" 10.77.100.1 lab-ws || status=1
    "$LAB" down "$NAME" >/dev/null
    NAME=""
done
exit $status
