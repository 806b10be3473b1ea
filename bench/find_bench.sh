#!/usr/bin/env bash
# Devices listed per automatic search and time from Find to the last row, for
# simulated fleets of 1000 and 5000 devices, each in a lab of its own.
#
#   bench/find_bench.sh [FLEET SIZES...]      (default: 1000 5000; needs root)
#
# SEARCHES (default 3) searches per fleet; RCVBUF sets the device endpoint's
# SO_RCVBUF after the start (e.g. 212992, a stock net.core.rmem_max).
#
# Builds nothing: expects build/bench/find_bench and build/tools/devsim/devsim
# (or QUILLANE_BUILD_DIR). Not part of ctest.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_begin find_bench
sizes=("$@")
((${#sizes[@]})) || sizes=(1000 5000)

status=0
for size in "${sizes[@]}"; do
    NAME="findbench-$$-$size"
    "$LAB" up "$NAME" --devices "$size" >/dev/null || exit 1
    "$LAB" devsim "$NAME" >/dev/null || exit 1
    "$LAB" exec "$NAME" ws -- "$PROGRAM" "$size" "${SEARCHES:-3}" lab-ws ${RCVBUF:-} || status=1
    "$LAB" down "$NAME" >/dev/null
    NAME=""
done
exit $status
