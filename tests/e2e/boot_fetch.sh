#!/bin/bash
# The boot-address exchange as a device loader sees it: the whole station runs
# in the workstation namespace; a boot request broadcast from the device
# namespace is answered (only at exactly 300 bytes) with the workstation's
# facing address and the firmware path, and the file that the reply names is
# then fetched from that address byte-identical.
set -u
source "$(dirname "$0")/tftp_lab.inc"
BOOT_BIN=$BUILD/tests/e2e/boot_client_e2e
[ -x "$BOOT_BIN" ] || { echo "FAIL: $BOOT_BIN not built"; exit 1; }
ip -n "$NS_WS" route add default dev "$TAG-a"
ip -n "$NS_DEV" route add default dev "$TAG-b"

FW=$WORK/firmware/unit-2.1.bin
mkdir -p "$WORK/firmware"
head -c 300000 /dev/urandom > "$FW"
want=$(sha256sum < "$FW" | cut -d' ' -f1)
start_server "$FW" --station

expect() {  # expect NAME COMMAND...
    local name=$1; shift
    if "$@"; then PASSES=$((PASSES + 1)); echo "ok   $name"; else FAILURES=$((FAILURES + 1)); echo "FAIL $name"; fi
}

reply=$(in_dev "$BOOT_BIN")
echo "reply: $reply"
expect "answered with op 2" grep -q " op 2 " <<< "$reply"
expect "server address is the facing local address" grep -q "siaddr $WS_IP " <<< "$reply"
expect "device address is its .254 neighbour (no run)" grep -q "yiaddr 10.231.0.254 " <<< "$reply"
expect "file field names the firmware" grep -q " file $FW\$" <<< "$reply"

for size in 299 301; do
    r=$(in_dev "$BOOT_BIN" --size $size --wait-ms 700)
    expect "$size-byte request unanswered" test "$r" = "no reply"
done

server=$(sed -n 's/.*siaddr \([0-9.]*\) .*/\1/p' <<< "$reply")
file=$(sed -n 's/.* file \(.*\)$/\1/p' <<< "$reply")
in_dev timeout 60 tftp -l -m binary "$server" -c get "$file" "$WORK/fetched" > /dev/null 2>&1
check "file named by the reply fetched" "$want" "$WORK/fetched"

echo "$PASSES passed, $FAILURES failed"
[ $FAILURES = 0 ]
