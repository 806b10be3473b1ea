#!/bin/bash
# The boot-address exchange as a device loader sees it: the whole station runs
# in the workstation namespace; a boot request broadcast from the device
# namespace is answered (only at exactly 300 bytes) with the workstation's
# facing address and the firmware path, and the file that the reply names is
# then fetched from that address byte-identical.
set -u
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_tftp_begin boot-fetch
BOOT_BIN=$LAB_TEST_BUILD/tests/e2e/boot_client_e2e
[ -x "$BOOT_BIN" ] || { echo "FAIL: $BOOT_BIN not built"; exit 1; }

FW=$WORK/firmware/unit-2.1.bin
mkdir -p "$WORK/firmware"
head -c 300000 /dev/urandom > "$FW"
want=$(sha256sum < "$FW" | cut -d' ' -f1)
lab_tftp_server "$FW" --station

expect() {  # expect NAME COMMAND...
    local name=$1; shift
    if "$@"; then PASSES=$((PASSES + 1)); echo "ok   $name"; else FAILURES=$((FAILURES + 1)); echo "FAIL $name"; fi
}

reply=$(dev "$BOOT_BIN")
echo "reply: $reply"
expect "answered with op 2" grep -q " op 2 " <<< "$reply"
expect "server address is the facing local address" grep -q "siaddr $WS_IP " <<< "$reply"
expect "device address is its .254 neighbour (no run)" grep -q "yiaddr 10.231.0.254 " <<< "$reply"
expect "file field names the firmware" grep -q " file $FW\$" <<< "$reply"

for size in 299 301; do
    r=$(dev "$BOOT_BIN" --size $size --wait-ms 700)
    expect "$size-byte request unanswered" test "$r" = "no reply"
done

server=$(sed -n 's/.*siaddr \([0-9.]*\) .*/\1/p' <<< "$reply")
file=$(sed -n 's/.* file \(.*\)$/\1/p' <<< "$reply")
dev timeout 60 tftp -l -m binary "$server" -c get "$file" "$WORK/fetched" > /dev/null 2>&1
lab_tftp_check "file named by the reply fetched" "$want" "$WORK/fetched"

echo "$PASSES passed, $FAILURES failed"
[ $FAILURES = 0 ]
