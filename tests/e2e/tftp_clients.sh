#!/bin/bash
# Real TFTP clients (tftp-hpa, atftp, curl) fetch the served firmware file
# byte-identical from the server on port 69, with and without options, for
# sizes around the block size and beyond the 65535-block wrap; two clients at
# once get transfer ports from 25020 upward; other files are refused.
set -u
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
lab_tftp_begin tftp-clients
for tool in tftp atftp curl; do command -v $tool >/dev/null || { echo "FAIL: $tool missing"; exit 1; }; done

FW=$WORK/firmware/unit.bin
mkdir -p "$WORK/firmware" "$WORK/out"
: > "$FW"
lab_tftp_server "$FW"

fetch() {  # fetch CLIENT VARIANT OUT
    case "$1:$2" in
        tftp-hpa:plain) dev timeout 120 tftp -l -m binary $WS_IP -c get "$FW" "$3" ;;
        atftp:plain)    dev timeout 120 atftp -g -r "$FW" -l "$3" $WS_IP ;;
        atftp:blksize)  dev timeout 120 atftp -g --option "blksize 1428" -r "$FW" -l "$3" $WS_IP ;;
        atftp:tsize)    dev timeout 120 atftp -g --option "tsize 0" -r "$FW" -l "$3" $WS_IP ;;
        atftp:timeout)  dev timeout 120 atftp -g --option "timeout 2" --option "tsize 0" -r "$FW" -l "$3" $WS_IP ;;
        curl:plain)     dev timeout 120 curl -sS --tftp-no-options -o "$3" "tftp://$WS_IP/${FW#/}" ;;
        curl:options)   dev timeout 120 curl -sS -o "$3" "tftp://$WS_IP/${FW#/}" ;;
        curl:blksize)   dev timeout 120 curl -sS --tftp-blksize 1024 -o "$3" "tftp://$WS_IP/${FW#/}" ;;
    esac
}

VARIANTS="tftp-hpa:plain atftp:plain atftp:blksize atftp:tsize atftp:timeout curl:plain curl:options curl:blksize"
for size in 0 511 512 513 $((5 * 1024 * 1024)) $((33 * 1024 * 1024 + 77)); do
    head -c $size /dev/urandom > "$FW"
    want=$(sha256sum < "$FW" | cut -d' ' -f1)
    variants=$VARIANTS
    [ $size -gt $((32 * 1024 * 1024)) ] && variants="tftp-hpa:plain atftp:tsize curl:options"
    # curl rejects a tsize of 0 in the option acknowledgement ("invalid tsize")
    # and so cannot fetch an empty file with options; the others can.
    [ $size = 0 ] && variants=${variants/curl:options curl:blksize/}
    for v in $variants; do
        out=$WORK/out/$size-${v/:/-}
        rm -f "$out"
        fetch "${v%%:*}" "${v#*:}" "$out" > "$out.log" 2>&1
        lab_tftp_check "$v size $size" "$want" "$out"
    done
done

# Two clients at once: two transfer ports from the start of the range,
# watched on the workstation side while both transfers run.
head -c $((8 * 1024 * 1024)) /dev/urandom > "$FW"
want=$(sha256sum < "$FW" | cut -d' ' -f1)
dev timeout 120 tftp -l -m binary $WS_IP -c get "$FW" "$WORK/out/par1" &
p1=$!
dev timeout 120 atftp -g -r "$FW" -l "$WORK/out/par2" $WS_IP &
p2=$!
seen=""
while kill -0 $p1 2>/dev/null || kill -0 $p2 2>/dev/null; do
    seen+=" $(ws ss -uan | awk '{print $4}' | grep -oE ':250[0-9]{2}$' | tr -d ':' | tr '\n' ' ')"
    sleep 0.02
done
wait $p1 $p2
ports=$(tr ' ' '\n' <<< "$seen" | grep . | sort -u | tr '\n' ' ')
lab_tftp_check "two at once, first" "$want" "$WORK/out/par1"
lab_tftp_check "two at once, second" "$want" "$WORK/out/par2"
if [ "$ports" = "25020 25021 " ]; then PASSES=$((PASSES + 1)); echo "ok   transfer ports $ports"
else FAILURES=$((FAILURES + 1)); echo "FAIL transfer ports '$ports' (want 25020 25021)"; fi

# Any other file is refused, whatever the spelling.
for name in /etc/passwd ../etc/passwd "${FW}.bak" unit.bin; do
    rm -f "$WORK/out/refused"
    if dev timeout 30 atftp -g -r "$name" -l "$WORK/out/refused" $WS_IP > "$WORK/out/refused.log" 2>&1 && [ -s "$WORK/out/refused" ]; then
        FAILURES=$((FAILURES + 1)); echo "FAIL served $name"
    elif grep -q "Access violation" "$WORK/out/refused.log"; then
        PASSES=$((PASSES + 1)); echo "ok   refused $name"
    else
        FAILURES=$((FAILURES + 1)); echo "FAIL $name: $(cat "$WORK/out/refused.log")"
    fi
done

# The server logged each transfer in the day's file beside it.
if grep -q "Blocks Served" "$WORK"/app/log/*.log; then PASSES=$((PASSES + 1)); echo "ok   log written"
else FAILURES=$((FAILURES + 1)); echo "FAIL no log lines"; fi

echo "$PASSES passed, $FAILURES failed"
[ $FAILURES = 0 ]
