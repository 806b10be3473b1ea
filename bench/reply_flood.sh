#!/usr/bin/env bash
# Memory of the running tool under a flood of search replies with fresh device
# numbers, sent without any Find, as anyone on the LAN could: the tool runs
# offscreen in a lab's workstation namespace, the replies come from the
# devices' side to the workstation's reply port. Prints the tool's resident
# set size before, at the end of the flood, and once it has handled the lot.
#
#   bench/reply_flood.sh [REPLIES = 1000000] [RATE per second = 50000]
#
# QUILLANE_TOOL names the tool to measure (default: the build's). Needs root;
# not run by ctest.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_paths
TOOL=${QUILLANE_TOOL:-$BUILD/ui/quillane}
REPLIES=${1:-1000000}
RATE=${2:-50000}
[[ -x "$TOOL" ]] || { echo "$TOOL is not built"; exit 1; }

NAME=rflood-$$
WORK=$(mktemp -d)
trap '"$LAB" down "$NAME" >/dev/null 2>&1; rm -rf "$WORK"' EXIT
trap 'exit 1' INT TERM
eval "$("$LAB" up "$NAME" --devices 1)"
mkdir -p "$WORK/app" "$WORK/run"
chmod 700 "$WORK/run"
cp "$TOOL" "$WORK/app/quillane"
ip netns exec "$WS_NS" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK/run" "$WORK/app/quillane" \
    >"$WORK/tool.out" 2>&1 &
tool=$!
sleep 2
rss() { awk '/^VmRSS/ {printf "%.0f", $2 / 1024}' "/proc/$tool/status"; }
cpu() { awk '{print $14 + $15}' "/proc/$tool/stat"; }
echo "tool: $TOOL"
echo "resident set before the flood: $(rss) MB"
start=$(date +%s)
"$LAB" exec "$NAME" dev -- python3 - "$WS_IP" "$REPLIES" "$RATE" <<'PY'
import socket, struct, sys, time
target, count, rate = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
reply = bytearray(56)
struct.pack_into("<I", reply, 0, 56)
reply[4] = 0xF1
struct.pack_into("<IIII", reply, 20, 0xFFFF0000, 0x0A4D0001, 0, 0)
reply[44:48] = bytes([5, 12, 6, 15])
struct.pack_into("<I", reply, 52, 6401)
begin = time.monotonic()
for i in range(count):
    struct.pack_into("<iI", reply, 8, 1000000 + i, 0)
    struct.pack_into("<I", reply, 16, 0x0A4E0000 + i)
    if i % 1000 == 0:
        pause = begin + i / rate - time.monotonic()
        if pause > 0:
            time.sleep(pause)
    try:
        sock.sendto(reply, (target, 25005))
    except OSError:
        pass
print("sent %d replies in %.1f s" % (count, time.monotonic() - begin))
PY
echo "resident set at the end of the flood: $(rss) MB"
# Handled once the tool's CPU time stops growing for two seconds.
last=$(cpu)
while sleep 2; do
    now=$(cpu)
    [[ "$now" == "$last" ]] && break
    last=$now
done
echo "resident set once the replies are handled ($(($(date +%s) - start)) s after the flood began): $(rss) MB"
