#!/usr/bin/env bash
# Measures one devsim process carrying a large fleet: time from a multicast
# search (three probe copies, as the tool sends them) until every device's
# replies have arrived at the workstation, the simulator's memory, and its
# CPU use while idle. Runs in a lab of its own; needs root.
#   bench/bench_search.sh [DEVICES (default 5000)] [ROUNDS (default 5)]
set -euo pipefail
source "$(cd "$(dirname "$0")/../tools/lab" && pwd)/lab_test_lib.sh"
devices=${1:-5000}
rounds=${2:-5}
lab_test_begin dbench --devices "$devices"

lab_test_devsim --count "$devices" --seed 1
ws python3 - "$DEVICE_CLIENT" "$devices" "$rounds" <<'PY'
import os, statistics, sys, time, select
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(sys.argv[1]))
import device_client as dc
devices, rounds = int(sys.argv[2]), int(sys.argv[3])
s = dc.device_socket()
firsts, alls, lasts = [], [], []
for _ in range(rounds):
    numbers = {}
    start = time.monotonic()
    for _ in range(3):
        s.sendto(dc.search_probe(), (dc.COMMAND_GROUP, dc.COMMAND_PORT))
    first = every = None
    deadline = start + 5
    got = 0
    while got < 3 * devices and time.monotonic() < deadline:
        if not select.select([s], [], [], max(0, deadline - time.monotonic()))[0]:
            break
        data, _ = s.recvfrom(2048)
        now = time.monotonic() - start
        got += 1
        first = first or now
        number = int.from_bytes(data[8:12], "little", signed=True)
        numbers[number] = numbers.get(number, 0) + 1
        if every is None and len(numbers) == devices:
            every = now
    firsts.append(first * 1000)
    alls.append((every or float("nan")) * 1000)
    lasts.append((time.monotonic() - start if got == 3 * devices else float("nan")) * 1000)
    print(f"round: {len(numbers)} devices answered, {got} replies; first {first*1000:.1f} ms, "
          f"every device {alls[-1]:.1f} ms, all copies {lasts[-1]:.1f} ms", flush=True)
    time.sleep(0.5)
print(f"median over {rounds} rounds: every device answered after {statistics.median(alls):.1f} ms, "
      f"all {3*devices} replies after {statistics.median(lasts):.1f} ms")
PY
status=/proc/$DEVSIM_PID/status
echo "devsim memory: $(grep -E '^VmRSS' "$status" | tr -s ' ') (peak $(grep -E '^VmHWM' "$status" | awk '{print $2, $3}'))"
ticks() { awk '{print $14 + $15}' "/proc/$DEVSIM_PID/stat"; }
before=$(ticks); sleep 3; after=$(ticks)
echo "devsim idle CPU: $(( (after - before) * 1000 / $(getconf CLK_TCK) / 3 )) ms per second"
echo "event log (every datagram in and out): $(wc -l <"$DEVSIM_LOG") lines, $(du -h "$DEVSIM_LOG" | cut -f1)"
lab_test_stop_devsim
