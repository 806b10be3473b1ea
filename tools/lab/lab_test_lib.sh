# shellcheck shell=bash
# The one shell library of the lab scripts: the lab tests (tests/e2e/*.sh),
# the TFTP lab tests and the lab measurements in bench/ source it.
#
# Lab tests call lab_test_begin NAME [lab up options]. It skips (exit 77)
# without root or network namespaces, builds a lab unique to this run and
# tears it down on every way out, including failures and signals. A script
# that needs more clean-up defines lab_test_cleanup; it runs once the lab's
# processes have ended.

LAB_TEST_SOURCE=${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
LAB_TEST_BUILD=${QUILLANE_BUILD_DIR:-$LAB_TEST_SOURCE/build}
LAB=$LAB_TEST_SOURCE/tools/lab/lab
DEVICE_CLIENT=$LAB_TEST_SOURCE/tools/lab/device_client.py
export DEVSIM=${DEVSIM:-$LAB_TEST_BUILD/tools/devsim/devsim}
LAB_TEST_NAME=
LAB_TEST_TMP=

lab_test_skip_unless_possible() {
    if [[ $(id -u) -ne 0 ]]; then echo "SKIP: needs root for network namespaces"; exit 77; fi
    local probe="qlprobe-$$"
    if ! ip netns add "$probe" 2>/dev/null; then echo "SKIP: network namespaces unavailable"; exit 77; fi
    ip netns del "$probe"
    command -v python3 >/dev/null || { echo "SKIP: python3 missing"; exit 77; }
    [[ -x "$DEVSIM" ]] || { echo "FAIL: devsim not built at $DEVSIM"; exit 1; }
}

lab_test_end() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n "$LAB_TEST_NAME" ]]; then
        if ((status != 0)) && [[ -f /run/quillane-lab/$LAB_TEST_NAME.devsim.log ]]; then
            echo "--- last lines of the devsim log ---"
            tail -n 30 "/run/quillane-lab/$LAB_TEST_NAME.devsim.log"
        fi
        "$LAB" down "$LAB_TEST_NAME" >/dev/null 2>&1 || true
        rm -f /run/quillane-lab/"$LAB_TEST_NAME".devsim.*
    fi
    [[ -n "$LAB_TEST_TMP" ]] && rm -rf "$LAB_TEST_TMP"
    if declare -F lab_test_cleanup >/dev/null; then lab_test_cleanup; fi
    exit "$status"
}

# lab_test_begin NAME [lab up options]: sets WS_NS, DEV_NS, WS_IP, ... and LAB_TEST_TMP.
lab_test_begin() {
    lab_test_skip_unless_possible
    LAB_TEST_NAME="$1-$$"
    shift
    trap lab_test_end EXIT
    trap 'exit 130' INT TERM
    LAB_TEST_TMP=$(mktemp -d)
    chmod 755 "$LAB_TEST_TMP"
    eval "$("$LAB" up "$LAB_TEST_NAME" "$@")"
}

# lab_test_link SIDE [lab link options]: a second network card of the workstation
# with a namespace of devices behind it; sets LINK_NS, LINK_WS_IP, ...
lab_test_link() {
    eval "$("$LAB" link "$LAB_TEST_NAME" "$@")"
}

# lab_test_devsim [--side SIDE] [devsim args]: starts devsim in the devices
# namespace (or a linked side's); sets DEVSIM_PID, DEVSIM_LOG.
lab_test_devsim() {
    eval "$("$LAB" devsim "$LAB_TEST_NAME" "$@")"
}

# fleet_number FILE N: the device number on line N of a fleet file
# (devsim --print-fleet).
fleet_number() {
    awk -v n="$2" 'NR == n { for (i = 1; i <= NF; i++) if ($i ~ /^number=/) print substr($i, 8) }' "$1"
}

# Stops devsim (SIGTERM) and checks that it ends on its own, promptly.
lab_test_stop_devsim() {
    kill -TERM "$DEVSIM_PID"
    local i
    for i in $(seq 50); do
        kill -0 "$DEVSIM_PID" 2>/dev/null || { wait "$DEVSIM_PID" 2>/dev/null || true; return 0; }
        sleep 0.1
    done
    echo "FAIL: devsim did not stop within 5 s of SIGTERM"
    return 1
}

ws() { "$LAB" exec "$LAB_TEST_NAME" ws -- "$@"; }

# lab_test_cli CODE NAME [--as-nobody] ARGS...: runs quillane-cli on the
# workstation side (as user nobody when asked), its output in
# $LAB_TEST_TMP/NAME.out and NAME.err; the test fails unless it exits with CODE.
LAB_TEST_CLI=$LAB_TEST_BUILD/cli/quillane-cli
lab_test_cli() {
    local code=$1 name=$2 got=0 as=()
    shift 2
    [[ "${1:-}" == --as-nobody ]] && as=(setpriv --reuid=65534 --regid=65534 --clear-groups) && shift
    ws "${as[@]}" "$LAB_TEST_CLI" "$@" >"$LAB_TEST_TMP/$name.out" 2>"$LAB_TEST_TMP/$name.err" || got=$?
    if ((got != code)); then
        echo "FAIL: quillane-cli $* exited $got, not $code"
        cat "$LAB_TEST_TMP/$name.out" "$LAB_TEST_TMP/$name.err"
        exit 1
    fi
}
on_side() {
    local side=$1
    shift
    "$LAB" exec "$LAB_TEST_NAME" "$side" -- "$@"
}
dev() { "$LAB" exec "$LAB_TEST_NAME" dev -- "$@"; }

# The TFTP lab: one device address (10.231.0.2) facing the workstation
# (10.231.0.1/24), the firmware server test program on the workstation side,
# real TFTP clients on the devices' side.
# lab_tftp_begin NAME: lab_test_begin, then sets WORK, SERVER_BIN and
# the PASSES/FAILURES counts of lab_tftp_check.
lab_tftp_begin() {
    lab_test_begin "$1" --devices 1 --ws-ip 10.231.0.1 --first-ip 10.231.0.2 --prefix 24
    WORK=$LAB_TEST_TMP
    SERVER_BIN=$LAB_TEST_BUILD/tests/e2e/tftp_server_e2e
    [[ -x "$SERVER_BIN" ]] || { echo "FAIL: $SERVER_BIN not built"; exit 1; }
    PASSES=0
    FAILURES=0
}

# lab_tftp_server FILE [server options]: starts the firmware server on the
# workstation side serving FILE and waits until it is ready; sets SERVER_PID
# (the server's own: "lab exec" execs it).
lab_tftp_server() {
    mkdir -p "$WORK/app/log"
    "$LAB" exec "$LAB_TEST_NAME" ws -- "$SERVER_BIN" "$1" --app-dir "$WORK/app" "${@:2}" >"$WORK/server.out" 2>&1 &
    SERVER_PID=$!
    local _
    for _ in $(seq 100); do
        grep -q '^ready' "$WORK/server.out" 2>/dev/null && return 0
        sleep 0.05
    done
    echo "FAIL: server did not start"
    cat "$WORK/server.out"
    exit 1
}

# lab_tftp_check NAME EXPECTED_SHA256 FILE: counts and prints one result.
lab_tftp_check() {
    local got
    got=$(sha256sum <"$3" 2>/dev/null | cut -d' ' -f1)
    if [[ "$got" == "$2" ]]; then
        PASSES=$((PASSES + 1))
        echo "ok   $1"
    else
        FAILURES=$((FAILURES + 1))
        echo "FAIL $1 (sha256 $got, want $2)"
    fi
}

# Lab measurements (bench/*.sh).
# bench_lab_paths: skips (77) without root; sets SRC (the repository), BUILD
# (QUILLANE_BUILD_DIR, exported, or build/).
bench_lab_paths() {
    [[ $(id -u) -eq 0 ]] || { echo "needs root for network namespaces"; exit 77; }
    SRC=$LAB_TEST_SOURCE
    BUILD=$LAB_TEST_BUILD
    export QUILLANE_BUILD_DIR=$BUILD
}

# bench_lab_begin PROGRAM: bench_lab_paths, then sets PROGRAM (the built
# bench/PROGRAM below BUILD) and removes the lab named in $NAME on every way out.
bench_lab_begin() {
    bench_lab_paths
    PROGRAM="$BUILD/bench/$1"
    [[ -x "$PROGRAM" ]] || { echo "$PROGRAM is not built"; exit 1; }
    NAME=""
    trap '[[ -n "$NAME" ]] && "$LAB" down "$NAME" >/dev/null 2>&1' EXIT
    trap 'exit 1' INT TERM
}
