#!/usr/bin/env bash
# The TFTP server under a flood of read requests, as anyone on the LAN could
# send them, from FLOOD_SOURCES addresses of the devices' side that no device
# uses (default 1; with more, a host's own bound is not what stops the flood):
#   1. the tool (offscreen, soft limit of 1,024 open files): a burst of BURST
#      requests at BURST_RATE per second, never acknowledged, with three real
#      fetches (tftp-hpa) during it;
#   2. the same tool: RATE requests per second for SECONDS seconds, with a
#      real fetch every three seconds (no upgrade runs: nobody is reserved);
#   3. an upgrade run of three simulated devices (a headless station,
#      tests/e2e/upgrade_run_e2e) during a flood of RUN_RATE requests per second.
# Prints the answers the flood got (transfers, error packets by text), whether
# the real fetches and the upgrades arrived intact, and the tool's peak
# descriptors and threads.
#
#   bench/tftp_flood.sh [BURST = 3000] [BURST_RATE = 1000] [RATE = 100] [SECONDS = 30] [RUN_RATE = 200]
#
# QUILLANE_TOOL names the tool to measure (default: the build's); FILES_HARD
# sets the hard limit of open files as well; QUILLANE_BUILD_DIR the build with
# the upgrade run program and devsim. Needs root; not run by ctest.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_paths
command -v tftp >/dev/null || { echo "tftp (tftp-hpa) missing"; exit 1; }
TOOL=${QUILLANE_TOOL:-$BUILD/ui/quillane}
RUN=$BUILD/tests/e2e/upgrade_run_e2e
LOAD="$SRC/tools/lab/tftp_load.py"
BURST=${1:-3000}
BURST_RATE=${2:-1000}
RATE=${3:-100}
SECONDS_STEADY=${4:-30}
RUN_RATE=${5:-200}
for program in "$TOOL" "$RUN"; do [[ -x "$program" ]] || { echo "$program is not built"; exit 1; }; done

NAME=tflood-$$
WORK=$(mktemp -d)
chmod 755 "$WORK"
SAMPLER=
trap '[[ -n "$SAMPLER" ]] && kill "$SAMPLER" 2>/dev/null; "$LAB" down "$NAME" >/dev/null 2>&1; rm -rf "$WORK"' EXIT
trap 'exit 1' INT TERM
FLOOD_SOURCES=${FLOOD_SOURCES:-1}
eval "$("$LAB" up "$NAME" --devices $((3 + FLOOD_SOURCES)))"
# Addresses from the fourth of the devices' side on: no device has them.
FLOOD_IPS=$(for ((i = 4; i < 4 + FLOOD_SOURCES; i++)); do printf '10.77.%d.%d,' $((1 + i / 256)) $((i % 256)); done)
FLOOD_IPS=${FLOOD_IPS%,}
app=$WORK/app
mkdir -p "$app/log" "$WORK/run" "$WORK/out"
chmod 700 "$WORK/run"
cp "$TOOL" "$app/quillane"
head -c $((256 * 1024)) /dev/urandom >"$app/fw.bin"
want=$(sha256sum <"$app/fw.bin" | cut -d' ' -f1)
printf '[Quillane]\r\nUpdateProPath=%s\r\n' "$app/fw.bin" >"$app/Quillane.ini"
ip netns exec "$WS_NS" bash -c 'ulimit -Sn 1024; [[ -n "$3" ]] && ulimit -Hn "$3"
    exec env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$1" "$2"' _ "$WORK/run" "$app/quillane" "${FILES_HARD:-}" \
    >"$WORK/tool.out" 2>&1 &
tool=$!
listening() { "$LAB" exec "$NAME" ws -- ss -uan 2>/dev/null | grep -q ':69 '; }
for _ in $(seq 100); do listening && break; sleep 0.1; done
echo "tool: $TOOL (open files: soft $(awk '/Max open files/ {print $4}' /proc/$tool/limits)," \
    "hard $(awk '/Max open files/ {print $5}' /proc/$tool/limits))"

# Peak descriptors and threads of the tool, sampled every 50 ms.
(
    fds=0 threads=0
    while kill -0 "$tool" 2>/dev/null; do
        f=$(ls /proc/$tool/fd 2>/dev/null | wc -l)
        t=$(awk '/^Threads/ {print $2}' /proc/$tool/status 2>/dev/null)
        ((f > fds)) && fds=$f
        ((${t:-0} > threads)) && threads=$t
        echo "$fds $threads" >"$WORK/peak.new" && mv "$WORK/peak.new" "$WORK/peak"
        sleep 0.05
    done
) &
SAMPLER=$!

flood() {  # flood COUNT RATE OUT: requests from the flood's address, in the background
    "$LAB" exec "$NAME" dev -- python3 "$LOAD" burst --server "$WS_IP" --file "$app/fw.bin" --count "$1" \
        --rate "$2" --listen 3 --bind "$FLOOD_IPS" >"$3" &
}
fetch() {  # fetch OUT: a real device's fetch; prints ok or failed
    rm -f "$1"
    "$LAB" exec "$NAME" dev -- timeout 60 tftp -m binary "$WS_IP" -c get "$app/fw.bin" "$1" >/dev/null 2>&1
    [[ "$(sha256sum <"$1" 2>/dev/null | cut -d' ' -f1)" == "$want" ]] && echo ok || echo failed
}

echo "1. burst of $BURST requests at $BURST_RATE per second:"
flood "$BURST" "$BURST_RATE" "$WORK/burst.json"
burst=$!
during=""
for _ in 1 2 3; do
    sleep 1
    during+=" $(fetch "$WORK/out/burst")"
done
wait "$burst"
echo "   real fetches during the burst:$during"
echo "   answers: $(cat "$WORK/burst.json")"
echo "   peak descriptors and threads: $(cat "$WORK/peak")"

sleep 12  # the burst's transfers give up (three expiries)
echo "2. steady $RATE requests per second for $SECONDS_STEADY s:"
flood $((RATE * SECONDS_STEADY)) "$RATE" "$WORK/steady.json"
steady=$!
ok=0 all=0
for ((i = 0; i < SECONDS_STEADY / 3; i++)); do
    sleep 1
    [[ "$(fetch "$WORK/out/steady")" == ok ]] && ok=$((ok + 1))
    all=$((all + 1))
    sleep 1
done
wait "$steady"
echo "   real fetches intact: $ok of $all"
echo "   answers: $(cat "$WORK/steady.json")"
echo "   peak descriptors and threads (both): $(cat "$WORK/peak")"
echo "   TFTP log lines: $(cat "$app"/log/*.log 2>/dev/null | wc -l); by message:"
sed -E 's/^\[[^]]*\] (Client [0-9.:]+ ?[^,]*, )?//' "$app"/log/*.log 2>/dev/null |
    sed -E 's/^[0-9]+ (Blocks Served|more requests refused)/N \1/' | sort | uniq -c | sort -rn | head -6 |
    sed 's/^/   /'
kill -TERM "$tool"
wait "$tool" 2>/dev/null
for _ in $(seq 50); do listening || break; sleep 0.1; done

echo "3. an upgrade run of three devices during $RUN_RATE requests per second:"
for i in 1 2 3; do
    echo "number=$((900 + i)) ip=10.77.1.$i mask=255.255.0.0 type=6401 version=2016.1.1.1"
done >"$WORK/fleet.txt"
eval "$("$LAB" devsim "$NAME" --fleet "$WORK/fleet.txt" --new-version 2020.2.2.2)"
flood $((RUN_RATE * 120)) "$RUN_RATE" "$WORK/run.json"
running=$!
sleep 2
"$LAB" exec "$NAME" ws -- env UPGRADE_FLEET="$WORK/fleet.txt" UPGRADE_FIRMWARE="$app/fw.bin" \
    UPGRADE_NEW_VERSION=2020.2.2.2 "$RUN" --gtest_brief=1 --gtest_filter='*RunUpgradesEveryChosenDeviceInTurn' \
    >"$WORK/run.out" 2>&1
result=$?
kill "$running" 2>/dev/null
python3 - "$DEVSIM_LOG" "$want" <<'PY'
import json, sys
want = sys.argv[2]
log = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
for number in (901, 902, 903):
    done = [e for e in log if e.get("dev") == number and e.get("event") == "upgrade-done"]
    failed = [e for e in log if e.get("dev") == number and e.get("event") == "upgrade-failed"]
    if done and done[0].get("ok") and done[0].get("sha256") == want:
        print(f"   device {number}: image intact in {done[0]['ms']:.0f} ms")
    else:
        print(f"   device {number}: no image ({failed[0].get('error') if failed else 'never fetched'})")
PY
echo "   the run as the station saw it: $([[ $result == 0 ]] && echo "every device upgraded" || echo "FAILED"; grep -m3 -E 'Failure|Expected|Which' "$WORK/run.out")"
