#!/usr/bin/env bash
# devsim's command line and fleet files: generated fleets are deterministic
# and well mixed, bad input is refused with a clear message and exit code 2,
# and devsim refuses to run where its device addresses do not exist.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
[[ -x "$DEVSIM" ]] || { echo "FAIL: devsim not built at $DEVSIM"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Generation: same seed, same fleet; another seed, another one.
"$DEVSIM" --count 2000 --seed 3 --print-fleet >"$tmp/a"
"$DEVSIM" --count 2000 --seed 3 --print-fleet >"$tmp/b"
"$DEVSIM" --count 2000 --seed 4 --print-fleet >"$tmp/c"
cmp "$tmp/a" "$tmp/b"
! cmp -s "$tmp/a" "$tmp/c"
python3 - "$tmp/a" <<'PY'
import collections, sys
fleet = [dict(w.split("=", 1) for w in line.split()) for line in open(sys.argv[1])]
numbers = [int(d["number"]) for d in fleet]
assert len(fleet) == 2000 and len(set(numbers)) == 2000
assert len({n & 0xFFFF for n in numbers}) == 2000, "low 16 bits unique: the group form reaches one device"
assert 300 < sum(n > 65535 for n in numbers) < 700 and min(numbers) > 0
types = collections.Counter(d["type"] for d in fleet)
assert len(types) == 12 and min(types.values()) > 100, types
ips = [d["ip"] for d in fleet]
assert ips[0] == "10.77.1.1" and ips[255] == "10.77.2.0" and ips[-1] == "10.77.8.208", (ips[0], ips[255], ips[-1])
assert len({d["mac"] for d in fleet}) == 2000
PY
"$DEVSIM" --count 3 --types 6401,none --first-ip 192.168.5.250 --mask 255.255.255.0 --print-fleet >"$tmp/t"
grep -q 'ip=192.168.5.252 mask=255.255.255.0 gateway=192.168.5.1' "$tmp/t"
! grep -vqE 'type=(6401|none) ' "$tmp/t"

# Refusals: exit code 2 and a message that names the problem.
refuse() {
    local expect=$1
    shift
    local status=0
    "$DEVSIM" "$@" --print-fleet >"$tmp/out" 2>"$tmp/err" || status=$?
    if [[ $status -ne 2 ]] || ! grep -q -- "$expect" "$tmp/err"; then
        echo "FAIL: devsim $* -> status $status, stderr: $(cat "$tmp/err")"
        exit 1
    fi
}
printf 'number=1 ip=10.77.1.1\nnumber=1 ip=10.77.1.2\n' >"$tmp/dup.fleet"
printf 'number=1 ip=10.77.1.300\n' >"$tmp/ip.fleet"
printf 'number=1\n' >"$tmp/noip.fleet"
printf 'number=1 ip=10.77.1.1 colour=red\n' >"$tmp/key.fleet"
printf 'number=1 ip=10.77.1.1 faults=stall-after=x\n' >"$tmp/fault.fleet"
printf '# nothing\n\n' >"$tmp/empty.fleet"
refuse "used twice" --fleet "$tmp/dup.fleet"
refuse "ip.fleet:1: not an address" --fleet "$tmp/ip.fleet"
refuse "needs number= and ip=" --fleet "$tmp/noip.fleet"
refuse "unknown key 'colour'" --fleet "$tmp/key.fleet"
refuse "unknown fault" --fleet "$tmp/fault.fleet"
refuse "no device" --fleet "$tmp/empty.fleet"
refuse "cannot read" --fleet "$tmp/missing.fleet"
refuse "either --count N or --fleet" --count 3 --fleet "$tmp/dup.fleet"
refuse "either --count N or --fleet" --seed 3
refuse "--count wants" --count 0
refuse "--count wants" --count 70000
refuse "not an address" --count 3 --first-ip 10.1.2
refuse "bad --tftp" --count 3 --tftp blksize=4
refuse "drop wants a share" --count 3 --faults drop=1.5
refuse "no such device" --count 3 --faults-on '#4:silent'
refuse "unknown option" --count 3 --colour
# Through a file: grep -q may close a pipe early, and pipefail would count devsim's SIGPIPE.
"$DEVSIM" --help >"$tmp/help"
grep -q -- '--faults-on SEL:LIST' "$tmp/help"

# Inside a lab whose devices' side has no addresses, devsim refuses to start
# (it never adds addresses itself) and says which one is missing.
if [[ $(id -u) -eq 0 ]] && ip netns add "qlprobe-$$" 2>/dev/null; then
    ip netns del "qlprobe-$$"
    name="dcli-$$"
    trap '"$LAB" down "$name" >/dev/null 2>&1; rm -rf "$tmp"' EXIT
    "$LAB" up "$name" --devices 0 >/dev/null
    status=0
    "$LAB" exec "$name" dev -- "$DEVSIM" --count 2 2>"$tmp/err" >/dev/null || status=$?
    [[ $status -eq 1 ]] && grep -q "address 10.77.1.1 of device .* is not on any interface" "$tmp/err" ||
        { echo "FAIL: status $status, $(cat "$tmp/err")"; exit 1; }
fi
echo PASS
