#!/usr/bin/env bash
# quillane-cli search against the window's Find, in one lab and one run: a
# simulated fleet answers (1) the station's Find as the window runs it
# (find_bench: Find to the last row listed) and (2) the whole quillane-cli
# search command (start, search, the quiet wait, output, exit), wall time and
# devices listed, with the default wait and a short one.
#
#   bench/cli_search_bench.sh [DEVICES = 5000] [RUNS = 3]      (needs root)
#
# Builds nothing: expects build/bench/find_bench, build/cli/quillane-cli and
# build/tools/devsim/devsim (or QUILLANE_BUILD_DIR). Not part of ctest.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_paths
FIND="$BUILD/bench/find_bench"
CLI="$BUILD/cli/quillane-cli"
for program in "$FIND" "$CLI"; do [[ -x "$program" ]] || { echo "$program is not built"; exit 1; }; done

devices=${1:-5000}
runs=${2:-3}
NAME="clibench-$$"
out=$(mktemp)
trap '"$LAB" down "$NAME" >/dev/null 2>&1; rm -f "$out"' EXIT
trap 'exit 1' INT TERM
"$LAB" up "$NAME" --devices "$devices" >/dev/null || exit 1
"$LAB" devsim "$NAME" >/dev/null || exit 1

status=0
echo "== the window's Find (station in the lab, $devices devices)"
"$LAB" exec "$NAME" ws -- "$FIND" "$devices" "$runs" lab-ws || status=1

echo "== quillane-cli search, the whole command ($devices devices)"
# Timed inside the workstation namespace: entering it is no part of the command.
for wait in 1500 300; do
    for ((run = 1; run <= runs; run++)); do
        ns=$("$LAB" exec "$NAME" ws -- bash -c \
            'start=$(date +%s%N); "$0" search --format csv --wait "$1" >"$2" 2>/dev/null; status=$?;
             echo $(($(date +%s%N) - start)) $status' "$CLI" "$wait" "$out")
        read -r elapsed code <<<"$ns"
        ((code == 0)) || status=1
        listed=$(($(wc -l <"$out") - 1))
        awk -v w="$wait" -v r="$run" -v l="$listed" -v d="$devices" -v ns="$elapsed" 'BEGIN {
            printf "quillane-cli search --wait %d, run %d: listed %d (%.1f%%), wall time %.1f ms\n", w, r, l,
                100 * l / d, ns / 1e6 }'
        ((listed == devices)) || status=1
        sleep 1
    done
done
exit $status
