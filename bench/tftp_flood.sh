#!/usr/bin/env bash
# The tool's TFTP server under a flood of read requests, as anyone on the LAN
# could send them: the tool runs offscreen in a lab's workstation namespace
# with the usual soft limit of 1,024 open files; from the devices' side
#   1. a burst of BURST requests at BURST_RATE per second, never
#      acknowledged, with three real device fetches (tftp-hpa) during it;
#   2. a steady RATE requests per second for SECONDS seconds, with a real
#      fetch every three seconds.
# Prints the answers the flood got (first data blocks, error packets by text),
# whether the real fetches arrived intact, and the tool's peak descriptors and
# threads.
#
#   bench/tftp_flood.sh [BURST = 3000] [BURST_RATE = 1000] [RATE = 100] [SECONDS = 30]
#
# QUILLANE_TOOL names the tool to measure (default: the build's); FILES_HARD
# sets the hard limit of open files as well (the soft one is always 1,024).
# Needs root; not run by ctest.
set -uo pipefail
[[ $(id -u) -eq 0 ]] || { echo "needs root for network namespaces"; exit 77; }
command -v tftp >/dev/null || { echo "tftp (tftp-hpa) missing"; exit 1; }
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${QUILLANE_BUILD_DIR:-$SRC/build}
TOOL=${QUILLANE_TOOL:-$BUILD/ui/quillane}
LAB="$SRC/tools/lab/lab"
LOAD="$SRC/tools/lab/tftp_load.py"
BURST=${1:-3000}
BURST_RATE=${2:-1000}
RATE=${3:-100}
SECONDS_STEADY=${4:-30}
[[ -x "$TOOL" ]] || { echo "$TOOL is not built"; exit 1; }

NAME=tflood-$$
WORK=$(mktemp -d)
chmod 755 "$WORK"
SAMPLER=
trap '[[ -n "$SAMPLER" ]] && kill "$SAMPLER" 2>/dev/null; "$LAB" down "$NAME" >/dev/null 2>&1; rm -rf "$WORK"' EXIT
trap 'exit 1' INT TERM
eval "$("$LAB" up "$NAME" --devices 1)"
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
for _ in $(seq 100); do
    "$LAB" exec "$NAME" ws -- ss -uan 2>/dev/null | grep -q ':69 ' && break
    sleep 0.1
done
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

fetch() {  # fetch OUT: a real device's fetch; prints ok or failed
    rm -f "$1"
    "$LAB" exec "$NAME" dev -- timeout 60 tftp -m binary "$WS_IP" -c get "$app/fw.bin" "$1" >/dev/null 2>&1
    [[ "$(sha256sum <"$1" 2>/dev/null | cut -d' ' -f1)" == "$want" ]] && echo ok || echo failed
}

echo "burst of $BURST requests at $BURST_RATE per second:"
"$LAB" exec "$NAME" dev -- python3 "$LOAD" burst --server "$WS_IP" --file "$app/fw.bin" --count "$BURST" \
    --rate "$BURST_RATE" --listen 3 >"$WORK/burst.json" &
burst=$!
during=""
for _ in 1 2 3; do
    sleep 1
    during+=" $(fetch "$WORK/out/burst")"
done
echo "  real fetches during the burst:$during"
wait "$burst"
echo "  answers: $(cat "$WORK/burst.json")"
echo "  peak descriptors and threads: $(cat "$WORK/peak")"

sleep 12  # the burst's transfers give up (three expiries)
echo "steady $RATE requests per second for $SECONDS_STEADY s:"
"$LAB" exec "$NAME" dev -- python3 "$LOAD" burst --server "$WS_IP" --file "$app/fw.bin" \
    --count $((RATE * SECONDS_STEADY)) --rate "$RATE" --listen 3 >"$WORK/steady.json" &
steady=$!
ok=0 all=0
for ((i = 0; i < SECONDS_STEADY / 3; i++)); do
    sleep 1
    [[ "$(fetch "$WORK/out/steady")" == ok ]] && ok=$((ok + 1))
    all=$((all + 1))
    sleep 1
done
wait "$steady"
echo "  real fetches intact: $ok of $all"
echo "  answers: $(cat "$WORK/steady.json")"
echo "  peak descriptors and threads (whole run): $(cat "$WORK/peak")"
errors=$(grep -c . "$app"/log/*.log 2>/dev/null | tail -1)
echo "  TFTP log lines: ${errors:-0}; by message:"
sed -E 's/^\[[^]]*\] Client [0-9.:]+ ?[^,]*, //' "$app"/log/*.log 2>/dev/null | sed -E 's/[0-9]+ Blocks Served/N Blocks Served/' |
    sort | uniq -c | sort -rn | head -8
