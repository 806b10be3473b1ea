#!/usr/bin/env bash
# SIGTERM to the tool (offscreen, in the lab's workstation namespace) while
# twenty devices fetch the firmware file slowly: the tool ends through its
# orderly stop with status 0, well within its bounded waits, every transfer
# is ended, the TFTP log's last line is "stopped", and nothing is reported by
# a sanitizer when the tool is built with one (QUILLANE_TOOL may name such a
# build). Skips (77) without root or namespaces.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/lab_test_lib.sh"
TOOL=${QUILLANE_TOOL:-$LAB_TEST_BUILD/ui/quillane}
lab_test_begin stopsig --devices 20
[[ -x "$TOOL" ]] || { echo "FAIL: $TOOL is not built"; exit 1; }

app=$LAB_TEST_TMP/app
mkdir -p "$app/log" "$LAB_TEST_TMP/run"
chmod 700 "$LAB_TEST_TMP/run"
cp "$TOOL" "$app/quillane"
head -c $((2 * 1024 * 1024)) /dev/urandom >"$app/fw.bin"
printf '[LANGUAGE]\r\nCurLanguage=2\r\n' >"$app/Config.ini"
printf '[Quillane]\r\nUpdateProPath=%s\r\n' "$app/fw.bin" >"$app/Quillane.ini"

# The tool's single-instance socket lives in a runtime folder of this run, so
# a copy running elsewhere on the machine is neither found nor disturbed.
ip netns exec "$WS_NS" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$LAB_TEST_TMP/run" \
    "$app/quillane" >"$LAB_TEST_TMP/tool.out" 2>&1 &
tool=$!
for _ in $(seq 100); do
    ws ss -uanp 2>/dev/null | grep -q ':69 ' && break
    sleep 0.1
done

dev python3 "$LAB_TEST_SOURCE/tools/lab/tftp_load.py" slow --server "$WS_IP" --file "$app/fw.bin" --count 20 \
    --ack-delay 0.02 --flowing "$LAB_TEST_TMP/flowing" --idle 8 >"$LAB_TEST_TMP/fetches.json" &
clients=$!
for _ in $(seq 300); do
    [[ -e "$LAB_TEST_TMP/flowing" ]] && break
    sleep 0.1
done
[[ -e "$LAB_TEST_TMP/flowing" ]] || { echo "FAIL: the twenty transfers never ran at once"; cat "$LAB_TEST_TMP/tool.out"; exit 1; }

start=$(date +%s%N)
kill -TERM "$tool"
status=timeout
for _ in $(seq 300); do
    if ! kill -0 "$tool" 2>/dev/null; then
        set +e
        wait "$tool"
        status=$?
        set -e
        break
    fi
    sleep 0.1
done
elapsed=$((($(date +%s%N) - start) / 1000000))
wait "$clients" || true

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
echo "the tool ended ${elapsed} ms after SIGTERM, status $status"
[[ "$status" == 0 ]] || fail "exit status $status, not 0"
log=$(cat "$app"/log/*.log 2>/dev/null || true)
[[ "$(tail -n 1 <<<"$log")" =~ \]\ stopped$ ]] || fail "the TFTP log does not end with \"stopped\": $(tail -n 3 <<<"$log")"
complete=$(grep -c '"complete": true' "$LAB_TEST_TMP/fetches.json" || true)
fetches=$(grep -c . "$LAB_TEST_TMP/fetches.json" || true)
((fetches == 20 && complete == 0)) || fail "expected 20 transfers cut by the stop, got $fetches with $complete complete"
if grep -E 'ERROR: (Address|Thread|Leak)Sanitizer|runtime error:' "$LAB_TEST_TMP/tool.out"; then
    fail "a sanitizer reported a fault"
fi
((failures == 0)) || { echo "--- tool output ---"; cat "$LAB_TEST_TMP/tool.out"; exit 1; }
echo "ok"
