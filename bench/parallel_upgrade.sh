#!/usr/bin/env bash
# Several devices at once against one after another: in one lab of 32
# simulated devices with hardware addresses of their own (lab up --own-macs)
# and a device's pace (a restart of BOOT_DELAY ms before the boot request,
# FLASH_DELAY ms of flash writing per 512-byte block of a SIZE-byte image, so
# one device takes a few seconds), quillane-cli upgrade --all runs once
# sequentially and once with --parallel PARALLEL. For each: the run's wall
# time (first command to last image, from the simulator's log) per device,
# the CPU time of quillane-cli (its TFTP server, boot responder and command
# loop; user + system from /proc), and the projection to 1000 devices. Every
# device must load the image byte for byte, and every boot answer must carry
# the asking device's own address.
#
#   bench/parallel_upgrade.sh     (needs root; DEVICES default 32, PARALLEL 8,
#                                  SIZE 131072, BOOT_DELAY 1500, FLASH_DELAY 8)
#
# Builds nothing: expects build/cli/quillane-cli and build/tools/devsim/devsim
# (or QUILLANE_BUILD_DIR). Not part of ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_paths
CLI=$BUILD/cli/quillane-cli
[[ -x "$CLI" ]] || { echo "$CLI is not built"; exit 1; }
DEVICES=${DEVICES:-32}
PARALLEL=${PARALLEL:-8}
SIZE=${SIZE:-131072}
BOOT_DELAY=${BOOT_DELAY:-1500}
FLASH_DELAY=${FLASH_DELAY:-8}

NAME=parbench-$$
TMP=$(mktemp -d)
chmod 755 "$TMP"
trap '"$LAB" down "$NAME" >/dev/null 2>&1; rm -rf "$TMP"' EXIT
trap 'exit 1' INT TERM
eval "$("$LAB" up "$NAME" --devices "$DEVICES" --own-macs)"
head -c "$SIZE" /dev/urandom >"$TMP/image.bin"
chmod 644 "$TMP/image.bin"
"$DEVSIM" --count "$DEVICES" --seed 31 --first-ip 10.77.1.1 --print-fleet |
    awk -v f="boot-delay=$BOOT_DELAY,flash-delay=$FLASH_DELAY" '{ print $0 " faults=" f }' >"$TMP/fleet.txt"

# run LABEL [quillane-cli options]: one run over all devices with a fresh
# simulator; prints the figures and leaves the log in $TMP/LABEL.log.
run() {
    local label=$1
    shift
    eval "$("$LAB" devsim "$NAME" --fleet "$TMP/fleet.txt")"
    # The shell waits for the tool, then reads the CPU time of its waited-for children.
    "$LAB" exec "$NAME" ws -- bash -c '"$@" >"'"$TMP/$label"'.out" 2>&1; code=$?
        read -ra stat </proc/$$/stat; echo "$code ${stat[15]} ${stat[16]}"' _ \
        "$CLI" upgrade --file "$TMP/image.bin" --all --wait 1000 "$@" >"$TMP/$label.cpu"
    kill -TERM "$DEVSIM_PID"
    while kill -0 "$DEVSIM_PID" 2>/dev/null; do sleep 0.05; done
    cp "$DEVSIM_LOG" "$TMP/$label.log"
    python3 - "$label" "$TMP" "$DEVICES" "$(getconf CLK_TCK)" <<'PY'
import hashlib, json, sys
label, tmp, count, tick = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
code, utime, stime = map(int, open(f"{tmp}/{label}.cpu").read().split())
assert code == 0, open(f"{tmp}/{label}.out").read()
ip = {}
for line in open(f"{tmp}/fleet.txt"):
    d = dict(w.split("=", 1) for w in line.split())
    ip[int(d["number"])] = d["ip"]
image = hashlib.sha256(open(f"{tmp}/image.bin", "rb").read()).hexdigest()
log = [json.loads(l) for l in open(f"{tmp}/{label}.log") if l.strip()]
start = [e["t"] for e in log if e.get("event") == "upgrade-start"]
done = [e for e in log if e.get("event") == "upgrade-done"]
assert len(done) == count and all(e["ok"] and e["sha256"] == image for e in done), "not every device loaded the image"
answers = [e for e in log if e.get("kind") == "boot-reply" and e.get("dir") == "in" and "yiaddr" in e]
wrong = [e for e in answers if e["yiaddr"] != ip[e["dev"]]]
assert not wrong and len({e["dev"] for e in answers}) == count, wrong
one = sum(e["ms"] for e in done) / count
wall = (max(e["t"] for e in done) - min(start)) / 1000
cpu = (utime + stime) / tick
print(f"{label:>12}: {wall:7.1f} s for {count} devices, {wall / count:6.2f} s per device "
      f"(a device's own transfer {one / 1000:.2f} s), quillane-cli CPU {cpu:.2f} s "
      f"({cpu / count * 1000:.0f} ms per device); 1000 devices: {wall / count * 1000 / 3600:.2f} h")
open(f"{tmp}/{label}.figure", "w").write(f"{wall}")
PY
}

echo "$DEVICES devices, image $SIZE bytes, boot delay $BOOT_DELAY ms, flash delay $FLASH_DELAY ms per block"
run sequential
run "parallel-$PARALLEL" --parallel "$PARALLEL"
python3 -c "import sys; a, b = (float(open(f).read()) for f in sys.argv[1:]); print(f'speed-up at $PARALLEL at once: {a / b:.1f}x')" \
    "$TMP/sequential.figure" "$TMP/parallel-$PARALLEL.figure"
