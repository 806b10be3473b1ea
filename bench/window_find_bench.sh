#!/usr/bin/env bash
# Find in the two windows over one simulated fleet: the Windows window
# (quillane.exe under wine) against the Qt window, both on an Xvfb display
# inside the lab's workstation namespace. Each run starts a fresh window
# (empty list), presses Find and times the press to the last of the fleet's
# rows in the window's list; the Windows window is timed from outside by the
# window driver, the Qt window from its own event loop. For the share of wine
# itself: the window-less quillane-cli.exe's search under wine in the same lab,
# with the fleet answering and stopped.
#
#   sudo bench/window_find_bench.sh [DEVICES = 5000] [RUNS = 3]
#
# Builds nothing: expects build/bench/window/qt_window_find and
# build/tools/devsim/devsim (or QUILLANE_BUILD_DIR), and build-windows/ with
# quillane.exe and the window driver (or QUILLANE_WINDOWS_BUILD_DIR). Not
# part of ctest.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
bench_lab_begin window/qt_window_find
DEVICES=${1:-5000}
RUNS=${2:-3}
WBUILD=${QUILLANE_WINDOWS_BUILD_DIR:-$SRC/build-windows}
TOOL=$WBUILD/win32/quillane.exe
CLI=$WBUILD/cli/quillane-cli.exe
export WINDOW_DRIVER=$WBUILD/tests/e2e/windows/window_driver.exe
source "$SRC/tools/windows/wine_session.sh"
for needed in "$TOOL" "$CLI" "$WINDOW_DRIVER" "$BUILD/tools/devsim/devsim"; do
    [[ -f "$needed" ]] || { echo "$needed is not built"; exit 1; }
done
missing=$(wine_session_missing)
[[ -z "$missing" ]] || { echo "needs $missing"; exit 1; }
command -v xvfb-run >/dev/null || { echo "needs xvfb-run (package xvfb)"; exit 1; }

WORK=$(mktemp -d)
chmod 755 "$WORK"
finish() {
    set +e
    wine_session_end
    [[ -n "$NAME" ]] && "$LAB" down "$NAME" >/dev/null 2>&1
    rm -rf "$WORK"
}
trap finish EXIT
NAME=winfind-$$
"$LAB" up "$NAME" --devices "$DEVICES" >/dev/null || exit 1
eval "$("$LAB" devsim "$NAME")" || exit 1
echo "one lab, $DEVICES simulated devices; $RUNS runs per window, each a fresh window: Find to the last row"

# median of the numbers on standard input
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

qt_times=()
for run in $(seq "$RUNS"); do
    app=$WORK/qt-$run
    mkdir -p "$app"
    printf '[LANGUAGE]\r\nCurLanguage=2\r\n' >"$app/Config.ini"
    line=$("$LAB" exec "$NAME" ws -- xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
        env QT_QPA_PLATFORM=xcb "$PROGRAM" "$app" "$DEVICES" 60000 2>"$WORK/qt.err")
    echo "Qt window      run $run: $line"
    [[ "$line" == "rows $DEVICES ms "* ]] && qt_times+=("${line##* }")
done

wine_session_begin "$WORK/wine" ip netns exec "$NAME-ws" || exit 1
mkdir -p "$WORK/app"
cp "$TOOL" "$WORK/app/quillane.exe"
printf '[LANGUAGE]\r\nCurLanguage=2\r\n' >"$WORK/app/Config.ini"
win_times=()
for run in $(seq "$RUNS"); do
    wine_session_exec "$WORK/app/quillane.exe" >"$WORK/tool.out" 2>&1 &
    tool=$!
    [[ -n "$WINE_SESSION_DRIVER_PID" ]] || wine_session_driver
    drive window 60000 >/dev/null || exit 1
    sleep 1  # up and idle, as the Qt window is given
    ms=$(drive press-and-count 1001 "$DEVICES" 60000) && win_times+=("$ms")
    echo "Windows window run $run: rows $(drive rows) ms ${ms:-?}"
    drive close && drive wait-closed 30000
    wait "$tool"
done

# The same core without a window under wine: quillane-cli.exe's search (it
# ends 300 ms after the last new device), with the fleet answering and with
# the fleet stopped; the difference is what receiving the fleet costs there.
cp "$CLI" "$WORK/app/quillane-cli.exe"
cli_search() {
    local start end
    start=$(date +%s%N)
    rows=$(wine_session_exec "$WORK/app/quillane-cli.exe" search --wait 300 --format csv 2>/dev/null | tail -n +2 | wc -l)
    end=$(date +%s%N)
    echo "$(((end - start) / 1000000)) ms, $rows devices"
}
echo "quillane-cli.exe search, fleet answering: $(cli_search)"
kill -STOP "$DEVSIM_PID"
echo "quillane-cli.exe search, fleet stopped:   $(cli_search)"
kill -CONT "$DEVSIM_PID"

qt=$(printf '%s\n' "${qt_times[@]}" | median)
win=$(printf '%s\n' "${win_times[@]}" | median)
if ((${#qt_times[@]} == RUNS && ${#win_times[@]} == RUNS)); then
    awk -v q="$qt" -v w="$win" 'BEGIN { printf "median: Qt window %.1f ms, Windows window %.1f ms, ratio %.2f\n", q, w, w / q }'
else
    echo "not every run listed the whole fleet"
    exit 1
fi
