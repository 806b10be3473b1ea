# A wine desktop of its own for the Windows window: a private Xvfb display,
# a private wine prefix (so that its wine server is started afresh, where the
# session runs) and the prefix set up so that the dialogs' Chinese texts
# render. Source it, then:
#
#   wine_session_missing                 what this machine lacks for a session
#   wine_session_begin DIR [RUNNER...]   RUNNER: how to run a program there, for
#                                        example "ip netns exec NAME-ws" (a lab's
#                                        workstation); nothing: here
#   wine_session_exec PROGRAM [ARGS...]  a Windows program in the session (foreground)
#   wine_session_driver                  starts the window driver ($WINDOW_DRIVER)
#                                        as a coprocess; then: drive COMMAND
#   wine_session_end                     stops the driver, every program of the
#                                        prefix, its server and Xvfb (bounded;
#                                        safe to call again)
#
# WINE_SESSION_DPI (default 96) is the screen's DPI, the prefix's LogPixels;
# the screen grows with it, so the windows fit on it as at 96.
#
# X keeps its sockets in the network namespace it runs in (abstract sockets),
# and wine creates the programs' sockets in its server: so Xvfb and the server
# both start through RUNNER, inside the namespace of the programs.

WINE_SESSION_WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINE_SESSION_SERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
WINE_SESSION_DIR=
WINE_SESSION_RUNNER=()
WINE_SESSION_XVFB_PID=
WINE_SESSION_DISPLAY=
WINE_SESSION_DRIVER_PID=
WINE_SESSION_DPI=${WINE_SESSION_DPI:-96}

wine_session_missing() {
    local missing=()
    [[ -x "$WINE_SESSION_WINE" ]] || missing+=("wine64 (package wine64)")
    command -v Xvfb >/dev/null || missing+=("Xvfb (package xvfb)")
    [[ "$(fc-list : family 2>/dev/null)" == *"Noto Sans CJK SC"* ]] || missing+=("the font Noto Sans CJK SC (package fonts-noto-cjk)")
    echo "${missing[*]}"
}

# wine_session_path FILE: the file's name as the Windows programs see it (Z: is /).
wine_session_path() {
    local path
    path=$(realpath -m "$1")
    echo "Z:${path//\//\\}"
}

# wine_session_exec [--timeout S] PROGRAM [ARGS...]
wine_session_exec() {
    local bound=()
    [[ "${1:-}" == --timeout ]] && bound=(timeout "$2") && shift 2
    "${bound[@]}" "${WINE_SESSION_RUNNER[@]}" env WINEPREFIX="$WINE_SESSION_DIR/prefix" \
        DISPLAY="$WINE_SESSION_DISPLAY" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
        LANG=C.UTF-8 LC_ALL= XAUTHORITY= WAYLAND_DISPLAY= "$WINE_SESSION_WINE" "$@"
}

# The prefix's settings: the dialog fonts replaced by one that has the Chinese
# glyphs; wine draws the windows' frames itself (there is no window manager);
# no crash dialog and no sound driver that could hold a run.
wine_session_registry() {
    local font="Noto Sans CJK SC"
    cat <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"MS Shell Dlg"="$font"
"MS Shell Dlg 2"="$font"
"Tahoma"="$font"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]
"Audio"=""

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:$(printf %08x "$WINE_SESSION_DPI")

[HKEY_CURRENT_CONFIG\\Software\\Fonts]
"LogPixels"=dword:$(printf %08x "$WINE_SESSION_DPI")
REG
}

wine_session_begin() {
    WINE_SESSION_DIR=$1
    shift
    WINE_SESSION_RUNNER=("$@")
    mkdir -p "$WINE_SESSION_DIR/prefix"
    # Xvfb picks a free display itself and says which once it listens.
    local screen="$((1280 * WINE_SESSION_DPI / 96))x$((1024 * WINE_SESSION_DPI / 96))x24"
    "${WINE_SESSION_RUNNER[@]}" Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp \
        3>"$WINE_SESSION_DIR/display" >"$WINE_SESSION_DIR/xvfb.log" 2>&1 &
    WINE_SESSION_XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [[ -s "$WINE_SESSION_DIR/display" ]] && break
        kill -0 "$WINE_SESSION_XVFB_PID" 2>/dev/null || { cat "$WINE_SESSION_DIR/xvfb.log" >&2; return 1; }
        sleep 0.1
    done
    [[ -s "$WINE_SESSION_DIR/display" ]] || { echo "Xvfb did not start within 10 s" >&2; return 1; }
    WINE_SESSION_DISPLAY=:$(head -n1 "$WINE_SESSION_DIR/display")
    # The prefix, made afresh; wine's own words are shown only when it fails
    # (without the 32-bit part it reports a missing syswow64 program, harmless).
    wine_session_registry >"$WINE_SESSION_DIR/session.reg"
    # Wine's symbol font Marlett (fonts-wine) into the prefix, where this wine
    # looks for it: the window frames draw their buttons with it. Only that
    # one: a Tahoma there would take the place of the replacement above.
    local marlett
    marlett=$(realpath -m "$(dirname "$(realpath "$WINE_SESSION_WINE")")/../../share/wine/fonts/marlett.ttf")
    mkdir -p "$WINE_SESSION_DIR/prefix/drive_c/windows/Fonts"
    [[ ! -f "$marlett" ]] || cp "$marlett" "$WINE_SESSION_DIR/prefix/drive_c/windows/Fonts/"
    if ! wine_session_exec --timeout 300 wineboot.exe --init >"$WINE_SESSION_DIR/wineboot.log" 2>&1 ||
        ! wine_session_exec --timeout 120 regedit.exe /S "$(wine_session_path "$WINE_SESSION_DIR/session.reg")" \
            >>"$WINE_SESSION_DIR/wineboot.log" 2>&1; then
        cat "$WINE_SESSION_DIR/wineboot.log" >&2
        return 1
    fi
}

# Starts $WINDOW_DRIVER (tests/e2e/windows/window_driver.cpp) in the session;
# "drive COMMAND" then sends it one command and prints its answer. It talks
# through two FIFOs held open on descriptors 7 and 8 (a coprocess's would not
# reach the subshells of $(drive ...)).
wine_session_driver() {
    [[ -x "${WINDOW_DRIVER:-}" ]] || { echo "the window driver is not built (WINDOW_DRIVER=${WINDOW_DRIVER:-})" >&2; return 1; }
    rm -f "$WINE_SESSION_DIR/driver.in" "$WINE_SESSION_DIR/driver.out"
    mkfifo "$WINE_SESSION_DIR/driver.in" "$WINE_SESSION_DIR/driver.out"
    wine_session_exec "$WINDOW_DRIVER" <"$WINE_SESSION_DIR/driver.in" >"$WINE_SESSION_DIR/driver.out" \
        2>"$WINE_SESSION_DIR/driver.err" &
    WINE_SESSION_DRIVER_PID=$!
    exec 7>"$WINE_SESSION_DIR/driver.in" 8<"$WINE_SESSION_DIR/driver.out"
}

# drive COMMAND...: the driver's answer without its "ok "; fails (status 1,
# the answer on standard error) on an "error" answer or when the driver
# does not answer within DRIVE_TIMEOUT seconds (default 180).
drive() {
    local answer
    echo "$*" >&7
    while IFS= read -r -t "${DRIVE_TIMEOUT:-180}" answer <&8; do
        answer=${answer%$'\r'}
        case $answer in
            ok) return 0 ;;
            "ok "*) echo "${answer#ok }"; return 0 ;;
            error*) echo "window driver: $* -> $answer" >&2; return 1 ;;
            *) echo "$answer" ;;  # lines of a table
        esac
    done
    echo "window driver: no answer to: $*" >&2
    return 1
}

wine_session_end() {
    [[ -n "$WINE_SESSION_DIR" ]] || return 0
    if [[ -n "$WINE_SESSION_DISPLAY" ]]; then
        # Every program of the prefix, then the server itself, each bounded.
        timeout 20 "${WINE_SESSION_RUNNER[@]}" env WINEPREFIX="$WINE_SESSION_DIR/prefix" "$WINE_SESSION_SERVER" -k >/dev/null 2>&1 || true
        timeout 20 "${WINE_SESSION_RUNNER[@]}" env WINEPREFIX="$WINE_SESSION_DIR/prefix" \
            "$WINE_SESSION_SERVER" -w >/dev/null 2>&1 || true
    fi
    if [[ -n "$WINE_SESSION_DRIVER_PID" ]]; then
        exec 7>&- 8<&-
        kill "$WINE_SESSION_DRIVER_PID" 2>/dev/null || true
        wait "$WINE_SESSION_DRIVER_PID" 2>/dev/null || true
        WINE_SESSION_DRIVER_PID=
    fi
    if [[ -n "$WINE_SESSION_XVFB_PID" ]]; then
        kill -TERM "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
        local i
        for i in $(seq 50); do kill -0 "$WINE_SESSION_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
        wait "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
        WINE_SESSION_XVFB_PID=
    fi
    WINE_SESSION_DISPLAY=
}
