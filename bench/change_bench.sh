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

[[ $(id -u) -eq 0 ]] || { echo "needs root for network namespaces"; exit 77; }
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${QUILLANE_BUILD_DIR:-$SRC/build}
export QUILLANE_BUILD_DIR=$BUILD
LAB="$SRC/tools/lab/lab"
PROGRAM="$BUILD/bench/change_bench"
[[ -x "$PROGRAM" ]] || { echo "$PROGRAM is not built"; exit 1; }

devices=${1:-1000}
runs=${2:-3}
NAME=""
trap '[[ -n "$NAME" ]] && "$LAB" down "$NAME" >/dev/null 2>&1' EXIT
trap 'exit 1' INT TERM

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
