#!/usr/bin/env bash
# What an upgrade run costs beyond the devices' own transfers: ten simulated
# devices take a 2 MiB image, first each alone (the upgrade command sent by
# hand to an idle station, one device at a time), then in one run started by
# the Upgrade button. Overhead per device = (run wall time - sum of the ten
# transfers alone) / 10: the command, the boot exchange and the step to the
# next device. The in-run transfer times (the devices' own) are shown too.
#
#   bench/upgrade_bench.sh        (needs root; ROUNDS rounds, default 3;
#                                  DEVICES devices, default 10; SIZE bytes, default 2 MiB)
#
# Builds nothing: expects build/tests/e2e/{upgrade_run_e2e,tftp_server_e2e}
# and build/tools/devsim/devsim (or QUILLANE_BUILD_DIR). Not part of ctest.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_paths
RUN="$BUILD/tests/e2e/upgrade_run_e2e"
STATION="$BUILD/tests/e2e/tftp_server_e2e"
for program in "$RUN" "$STATION"; do [[ -x "$program" ]] || { echo "$program is not built"; exit 1; }; done
ROUNDS=${ROUNDS:-3}
DEVICES=${DEVICES:-10}
SIZE=${SIZE:-2097152}

NAME=upbench-$$
TMP=$(mktemp -d)
chmod 755 "$TMP"
trap '"$LAB" down "$NAME" >/dev/null 2>&1; rm -rf "$TMP"' EXIT
trap 'exit 1' INT TERM
eval "$("$LAB" up "$NAME" --devices "$DEVICES")"
head -c "$SIZE" /dev/urandom >"$TMP/image.bin"
for ((i = 1; i <= DEVICES; i++)); do
    echo "number=$((700 + i)) ip=10.77.1.$i mask=255.255.0.0 type=6401 version=2016.1.1.1"
done >"$TMP/fleet.txt"
mkdir -p "$TMP/app"

devsim() { eval "$("$LAB" devsim "$NAME" --fleet "$TMP/fleet.txt" --new-version 2020.2.2.2)"; }
stop_devsim() { kill -TERM "$DEVSIM_PID"; while kill -0 "$DEVSIM_PID" 2>/dev/null; do sleep 0.05; done; }

for ((round = 1; round <= ROUNDS; round++)); do
    # Alone: an idle station (the firmware services answer outside a run too);
    # each device is told to upgrade by hand and finishes before the next.
    devsim
    "$LAB" exec "$NAME" ws -- "$STATION" "$TMP/image.bin" --station --app-dir "$TMP/app" >"$TMP/station.out" 2>&1 &
    station_pid=$!  # lab exec execs the program: this is the station itself
    for _ in $(seq 100); do grep -qs '^ready station' "$TMP/station.out" && break; sleep 0.05; done
    "$LAB" exec "$NAME" ws -- python3 - "$SRC/tools/lab/device_client.py" "$DEVSIM_LOG" "$DEVICES" <<'PY'
import importlib.util, json, socket, sys, time
spec = importlib.util.spec_from_file_location("device_client", sys.argv[1])
dc = importlib.util.module_from_spec(spec)
spec.loader.exec_module(dc)
log_path, count = sys.argv[2], int(sys.argv[3])
log, rest, finished = open(log_path), "", set()
def done(number):
    # Reads only what the simulator added: the poller must not compete with the transfer.
    global rest
    lines = (rest + log.read()).split("\n")
    rest = lines.pop()
    finished.update(e["dev"] for e in map(json.loads, filter(None, lines)) if e.get("event") == "upgrade-done")
    return number in finished
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for i in range(1, count + 1):
    for _ in range(3):
        s.sendto(dc.upgrade_command(), (f"10.77.1.{i}", dc.COMMAND_PORT))
    deadline = time.monotonic() + 60
    while not done(700 + i) and time.monotonic() < deadline:
        time.sleep(0.05)
PY
    kill -TERM "$station_pid"
    wait "$station_pid" || true
    stop_devsim
    cp "$DEVSIM_LOG" "$TMP/alone-$round.log"

    # The run: Upgrade pressed once over all devices.
    devsim
    "$LAB" exec "$NAME" ws -- env UPGRADE_FLEET="$TMP/fleet.txt" UPGRADE_FIRMWARE="$TMP/image.bin" \
        UPGRADE_NEW_VERSION=2020.2.2.2 UPGRADE_TIMING="$TMP/timing-$round.json" \
        "$RUN" --gtest_brief=1 --gtest_filter='*RunUpgradesEveryChosenDeviceInTurn' >/dev/null
    stop_devsim
    cp "$DEVSIM_LOG" "$TMP/run-$round.log"
done

python3 - "$TMP" "$ROUNDS" "$DEVICES" "$SIZE" <<'PY'
import json, statistics, sys
tmp, rounds, devices, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
def transfers(path):
    events = [json.loads(l) for l in open(path) if l.strip()]
    done = [e for e in events if e.get("event") == "upgrade-done" and e["ok"]]
    assert len(done) == devices, f"{path}: {len(done)} of {devices} devices upgraded"
    return sum(e["ms"] for e in done)
print(f"{devices} devices, {size} bytes each")
print(f"{'round':>5} {'run wall ms':>12} {'sum alone ms':>13} {'sum in run ms':>14} {'overhead/device ms':>19} {'(vs in-run) ms':>15}")
overheads, starts, steps = [], [], []
for r in range(1, rounds + 1):
    # Inside the run, as the devices saw it: upgrade command to file request,
    # and last acknowledgement to the next device's command.
    events = [json.loads(l) for l in open(f"{tmp}/run-{r}.log") if l.strip()]
    first = lambda number, kind, d: next(e["t"] for e in events if e.get("dev") == number and e.get("kind") == kind
                                         and e.get("dir") == d)
    numbers = [e["dev"] for e in events if e.get("event") == "upgrade-start"]
    for i, number in enumerate(numbers):
        starts.append(first(number, "rrq", "out") - first(number, "upgrade", "in"))
        if i + 1 < len(numbers):
            last_ack = max(e["t"] for e in events if e.get("dev") == number and e.get("kind") == "ack")
            steps.append(first(numbers[i + 1], "upgrade", "in") - last_ack)
    run_ms = json.loads(open(f"{tmp}/timing-{r}.json").readline())["run_ms"]
    alone, in_run = transfers(f"{tmp}/alone-{r}.log"), transfers(f"{tmp}/run-{r}.log")
    overhead = (run_ms - alone) / devices
    overheads.append(overhead)
    print(f"{r:>5} {run_ms:>12.1f} {alone:>13.1f} {in_run:>14.1f} {overhead:>19.1f} {(run_ms - in_run) / devices:>15.1f}")
print(f"median overhead per device: {statistics.median(overheads):.1f} ms (goal: under 100 ms)")
print(f"in the runs, median command to file request (boot exchange): {statistics.median(starts):.1f} ms, "
      f"last acknowledgement to the next command: {statistics.median(steps):.1f} ms")
PY
