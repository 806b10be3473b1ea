# The Windows window (quillane.exe) in a lab: the lab of tools/lab (simulated
# devices on one side), a wine session (tools/windows/wine_session.sh) on the
# workstation's side, the window in it and the window driver beside it.
# Source wine_session.sh and this file, with SRC (the repository) and WBUILD
# (the Windows build) set, then:
#
#   window_lab_skip_unless_possible    exits 77 with the reason when the machine
#                                      cannot run it; sets DEVSIM (built when missing)
#   window_lab_begin NAME [lab up options]
#                                      the lab and the session; T is the run's folder;
#                                      everything is removed on every way out
#   window_lab_start_tool LANGUAGE [FIRMWARE]
#                                      quillane.exe in a folder of its own (its
#                                      settings files beside it; FIRMWARE as the
#                                      chosen file), and the driver: drive ...
#   window_lab_close_tool              closes the window and ends the session

WINDOW_LAB_TOOL=${QUILLANE_WINDOW_TOOL:-$WBUILD/win32/quillane.exe}
export WINDOW_DRIVER=${WINDOW_DRIVER:-$WBUILD/tests/e2e/windows/window_driver.exe}
WINDOW_LAB_TOOL_PID=

# The simulator runs in the lab on Linux: the Linux build's, or one built
# beside the Windows build on first use.
window_lab_devsim() {
    local linux_build=${QUILLANE_BUILD_DIR:-$SRC/build}
    if [[ -x "$linux_build/tools/devsim/devsim" ]]; then
        echo "$linux_build/tools/devsim/devsim"
        return
    fi
    local tools=$WBUILD/linux-tools
    if [[ ! -x "$tools/tools/devsim/devsim" ]]; then
        echo "building the simulator for the lab in $tools" >&2
        cmake -S "$SRC" -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_BUILD_TESTS=OFF \
            -DQUILLANE_BUILD_BENCHMARKS=OFF >"$WBUILD/linux-tools.log" 2>&1 &&
            cmake --build "$tools" --target devsim >>"$WBUILD/linux-tools.log" 2>&1 ||
            { cat "$WBUILD/linux-tools.log" >&2; return 1; }
    fi
    echo "$tools/tools/devsim/devsim"
}

window_lab_skip_unless_possible() {
    [[ $(id -u) -eq 0 ]] || { echo "SKIP: needs root for network namespaces"; exit 77; }
    local missing
    missing=$(wine_session_missing)
    [[ -z "$missing" ]] || { echo "SKIP: needs $missing"; exit 77; }
    [[ -f "$WINDOW_LAB_TOOL" ]] || { echo "SKIP: quillane.exe is not built at $WINDOW_LAB_TOOL (make windows)"; exit 77; }
    [[ -f "$WINDOW_DRIVER" ]] || { echo "SKIP: the window driver is not built at $WINDOW_DRIVER"; exit 77; }
    DEVSIM=${DEVSIM:-$(window_lab_devsim)} || { echo "FAIL: the simulator cannot be built"; exit 1; }
    export DEVSIM
}

window_lab_end() {
    local status=$?
    set +e  # whatever fails here, the lab still goes
    wine_session_end
    (exit "$status")
    lab_test_end
}

window_lab_begin() {
    export QUILLANE_SOURCE_DIR=$SRC
    source "$SRC/tools/lab/lab_test_lib.sh"
    lab_test_begin "$@"
    trap window_lab_end EXIT
    T=$LAB_TEST_TMP
    wine_session_begin "$T/wine" ip netns exec "$WS_NS"
}

window_lab_start_tool() {
    local language=$1 firmware=${2:-}
    mkdir -p "$T/app"
    cp "$WINDOW_LAB_TOOL" "$T/app/quillane.exe"
    printf '[LANGUAGE]\r\nCurLanguage=%s\r\n' "$language" >"$T/app/Config.ini"
    [[ -z "$firmware" ]] ||
        printf '[Quillane]\r\nUpdateProPath=%s\r\n' "$(wine_session_path "$firmware")" >"$T/app/Quillane.ini"
    wine_session_exec "$T/app/quillane.exe" >"$T/tool.out" 2>&1 &
    WINDOW_LAB_TOOL_PID=$!
    wine_session_driver
    drive window 60000 || { cat "$T/tool.out"; return 1; }
}

# Closes the window as the operator does; it must end on its own, promptly.
window_lab_close_tool() {
    drive close
    drive wait-closed 20000
    local i start=$(date +%s%N)
    for i in $(seq 100); do
        kill -0 "$WINDOW_LAB_TOOL_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "quillane.exe ended $((($(date +%s%N) - start) / 1000000)) ms after its window closed"
    if kill -0 "$WINDOW_LAB_TOOL_PID" 2>/dev/null; then
        echo "FAIL: quillane.exe did not end within 10 s of its window closing"
        return 1
    fi
    wait "$WINDOW_LAB_TOOL_PID" || { echo "FAIL: quillane.exe exited with status $?"; return 1; }
    wine_session_end  # the prefix's registry is on disk from here on
}
