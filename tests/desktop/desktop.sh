# Helpers for the desktop scenarios: a real X server (Xvfb) with a window manager
# (openbox) and a notification area (trayer) on a display of its own, the installed
# programs with their store and program folder in a temporary folder, and xdotool to
# drive them. Sourced by scenarios.sh; every helper fails the scenario with a reason.

DESKTOP_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

fail() {
    echo "FAIL: $*" >&2
    # What the screen showed, for the one who reads the failure.
    [[ -n "${DESKTOP_FAILURE_SHOT:-}" && -n "${DISPLAY:-}" ]] && screenshot "$DESKTOP_FAILURE_SHOT"
    describe_desktop >&2
    exit 1
}

# The programs' own output and the windows on the display, for a failure's reader.
describe_desktop() {
    [[ -n "${APP_PID:-}" ]] && { kill -0 "$APP_PID" 2>/dev/null && echo "--- program $APP_PID still running" || echo "--- program $APP_PID has ended"; }
    local log
    for log in "${WORK:-/nonexistent}"/*.log; do
        [[ -s "$log" ]] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; }
    done
    [[ -n "${DISPLAY:-}" ]] || return 0
    echo "--- mapped windows"
    xdotool search --onlyvisible --name '.*' 2>/dev/null | while read -r w; do
        local title
        title=$(xdotool getwindowname "$w" 2>/dev/null)
        [[ -n "$title" ]] && echo "$w \"$title\" $(xprop -id "$w" _NET_WM_PID _NET_WM_WINDOW_TYPE 2>/dev/null | sed 's/.*= //' | tr '\n' ' ')" \
            "$(timeout 5 xwininfo -id "$w" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
    done
}

note() {  # with the seconds since the scenario began, to show where its time goes
    echo "  [${SECONDS}s] $*"
}

require_tools() {
    local missing=()
    local tray= display="Xvfb xdotool xwininfo xprop"
    [[ ${DESKTOP_TRAY:-xembed} == xembed ]] && tray=trayer
    [[ ${DESKTOP_WM:-openbox} == weston ]] && display=
    for tool in "${DESKTOP_WM:-openbox}" $display $tray dbus-daemon; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    ((${#missing[@]} == 0)) ||
        fail "cannot run on a real desktop: ${missing[*]} not installed (scripts/deps.sh --tests installs them)"
    [[ -x "$BUILD_DIR/tools/dialtally-install" ]] || fail "no $BUILD_DIR/tools/dialtally-install: build first"
}

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_for() {
    local tenths=$(($1 * 10))
    shift
    while ((tenths-- > 0)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

PIDS=()

stop_all() {
    local pid
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        pid=${PIDS[i]}
        kill "$pid" 2>/dev/null || continue
        # A process that does not end on SIGTERM must not hold the suite for good.
        wait_for 10 sh -c "! kill -0 $pid 2>/dev/null" ||
            { echo "  process $pid ($(ps -o comm= -p "$pid")) did not end on SIGTERM" >&2; kill -9 "$pid" 2>/dev/null; }
        wait "$pid" 2>/dev/null
    done
    PIDS=()
    [[ -n "${WORK:-}" && -d "$WORK" ]] && rm -rf "$WORK"
}

# start_desktop: Xvfb on a free display, a window manager, a notification area; sets
# DISPLAY and WORK. DESKTOP_WM names the window manager (openbox, or fluxbox, whose
# taskbar follows the windows' taskbar hints) and DESKTOP_TRAY the notification area:
# xembed (trayer), sni (a StatusNotifierWatcher and host on the session bus) or none.
# Every desktop has a session bus of its own, so no panel of this machine's answers.
start_desktop() {
    WORK=$(mktemp -d /tmp/dialtally-desktop.XXXXXX)
    trap stop_all EXIT
    export XDG_CONFIG_HOME="$WORK/config"
    export XDG_DATA_HOME="$WORK/data"
    export XDG_RUNTIME_DIR="$WORK/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$WORK/bin"
    chmod 700 "$XDG_RUNTIME_DIR"
    start_session_bus
    if [[ ${DESKTOP_WM:-openbox} == weston ]]; then
        start_weston
    else
        start_x11
    fi
    case ${DESKTOP_TRAY:-xembed} in
    xembed) start_xembed_tray ;;
    sni) start_sni_panel ;;
    none) ;;
    *) fail "no notification area ${DESKTOP_TRAY}" ;;
    esac
    # The help opens in a browser: none is started from a test.
    printf '#!/bin/sh\nexit 0\n' >"$WORK/bin/xdg-open"
    chmod +x "$WORK/bin/xdg-open"
    export PATH="$WORK/bin:$PATH"
    note "desktop on ${DISPLAY:-$WAYLAND_DISPLAY} (${DESKTOP_WM:-openbox}, tray ${DESKTOP_TRAY:-xembed})"
}

# A Wayland session: weston without a screen, on a socket in the desktop's runtime
# folder. The programs run there natively and log their protocol (WAYLAND_DEBUG), the
# only record of what they asked the compositor for.
start_weston() {
    unset DISPLAY
    export WAYLAND_DISPLAY=wayland-dialtally
    weston --no-config --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
        --width=1024 --height=768 >"$WORK/weston.log" 2>&1 &
    PIDS+=($!)
    wait_for 20 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start: $(tail -5 "$WORK/weston.log")"
    PROGRAM_QPA=wayland
    export WAYLAND_DEBUG=client
}

start_x11() {
    # A display that takes no client, or a window manager that could not reach it, is
    # tried again on a fresh server: now and then the first client of a new Xvfb is
    # turned away on a loaded machine, and that is no fault of the programs under test.
    local attempt
    for attempt in 1 2 3; do
        start_x_server && start_window_manager "${DESKTOP_WM:-openbox}" && return 0
        note "the desktop did not come up (attempt $attempt): $(tail -n 3 "$WORK"/xvfb.log "$WORK"/*box.log 2>/dev/null | tr '\n' ' ')"
        stop_x11
    done
    fail "${DESKTOP_WM:-openbox} did not start on a fresh X server three times"
}

# start_x_server: Xvfb on a free display, answering clients; sets DISPLAY and X_PID.
start_x_server() {
    local fdfile="$WORK/display"
    : >"$fdfile"
    # No key repeat: on a loaded machine a key held a little long by xdotool would
    # answer the next box too.
    Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -ardelay 60000 9>"$fdfile" >"$WORK/xvfb.log" 2>&1 &
    X_PID=$!
    PIDS+=($X_PID)
    wait_for 30 test -s "$fdfile" || return 1
    export DISPLAY=":$(head -1 "$fdfile")"
    wait_for 20 sh -c 'timeout 5 xprop -root _NET_SUPPORTED >/dev/null 2>&1'
}

# stop_x11: ends the X server and whatever was started on it, for a fresh try.
stop_x11() {
    local pid keep=()
    for pid in ${WM_PID:-} ${X_PID:-}; do
        kill "$pid" 2>/dev/null
        wait_for 10 sh -c "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    for pid in "${PIDS[@]}"; do
        [[ $pid == "${WM_PID:-}" || $pid == "${X_PID:-}" ]] || keep+=("$pid")
    done
    PIDS=("${keep[@]}")
    WM_PID= X_PID=
    unset DISPLAY
}

# start_window_manager NAME: true once it manages the display, false if it ended or
# did not come up in time.
start_window_manager() {
    case $1 in
    openbox) openbox --sm-disable >"$WORK/openbox.log" 2>&1 & ;;
    fluxbox)
        # Its own settings in the temporary folder; the toolbar with its taskbar on.
        mkdir -p "$WORK/fluxbox"
        printf 'session.screen0.toolbar.visible: true\nsession.screen0.iconbar.mode: {static groups} (workspace)\n' \
            >"$WORK/fluxbox/init"
        HOME="$WORK" fluxbox -rc "$WORK/fluxbox/init" >"$WORK/fluxbox.log" 2>&1 &
        ;;
    *) fail "no window manager $1" ;;
    esac
    WM_PID=$!
    PIDS+=($WM_PID)
    wait_for 30 sh -c "kill -0 $WM_PID 2>/dev/null || exit 0; timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" &&
        kill -0 "$WM_PID" 2>/dev/null
}

start_xembed_tray() {
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
        --transparent false >"$WORK/trayer.log" 2>&1 &
    PIDS+=($!)
    wait_for 10 sh -c 'xdotool search --class trayer >/dev/null' || fail "trayer did not start on $DISPLAY"
}

# The session bus of the desktop: a dbus-daemon of its own in the temporary folder.
start_session_bus() {
    command -v dbus-daemon >/dev/null || fail "no dbus-daemon (scripts/deps.sh --tests installs it)"
    local address="$WORK/bus-address"
    dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus" \
        --print-address=9 9>"$address" >"$WORK/dbus.log" 2>&1 &
    PIDS+=($!)
    wait_for 10 test -s "$address" || fail "the session bus did not start: $(cat "$WORK/dbus.log")"
    export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$address")
}

# The Python that has the D-Bus bindings (the Debian one, not a user's own).
PANEL_PYTHON=/usr/bin/python3
[[ -x $PANEL_PYTHON ]] || PANEL_PYTHON=python3

# start_sni_panel: the StatusNotifierWatcher and a host that reads the items.
start_sni_panel() {
    "$PANEL_PYTHON" "$DESKTOP_DIR/sni_panel.py" serve >"$WORK/panel.log" 2>&1 &
    PANEL_PID=$!
    PIDS+=($PANEL_PID)
    wait_for 10 grep -q ready "$WORK/panel.log" || fail "the D-Bus panel did not start: $(cat "$WORK/panel.log")"
}

panel() {  # panel COMMAND ARGS...: asks the D-Bus panel (sni_panel.py)
    timeout 15 "$PANEL_PYTHON" "$DESKTOP_DIR/sni_panel.py" "$@"
}

# install_programs: lays out the program folder in $PROGRAMS with the installer.
install_programs() {
    PROGRAMS="$WORK/programs"
    "$BUILD_DIR/tools/dialtally-install" --prefix "$PROGRAMS" --peers "$WORK/no-peers" >"$WORK/install.log" 2>&1 ||
        fail "install failed: $(cat "$WORK/install.log")"
}

reg() {
    "$BUILD_DIR/tools/dialtally-reg" "$@" >/dev/null || fail "dialtally-reg $*"
}

reg_int() {  # reg_int 'HKCU\Software\Dialtally' Name value
    reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f
}

reg_query() {  # reg_query KEY NAME: prints the value's data
    "$BUILD_DIR/tools/dialtally-reg" query "$1" /v "$2" 2>/dev/null | awk -v n="$2" '$1 == n { print $NF }'
}

# start_program NAME: starts the installed program on the desktop; sets APP_PID.
start_program() {
    QT_QPA_PLATFORM=${PROGRAM_QPA:-xcb} "$PROGRAMS/$1" >>"$WORK/$1.log" 2>&1 &
    APP_PID=$!
    PIDS+=($APP_PID)
}

running() {
    kill -0 "$APP_PID" 2>/dev/null
}

# window_named PID TITLE: the program's top-level window with that exact title.
window_named() {
    xdotool search --all --pid "$1" --name "^$2\$" 2>/dev/null | while read -r w; do
        [[ "$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null)" == *_NET_WM_WINDOW_TYPE_NORMAL* ]] || continue
        xprop -id "$w" WM_TRANSIENT_FOR 2>/dev/null | grep -q "window id" && continue
        # Not one of the small windows Qt keeps for itself under the same title.
        [[ "$(timeout 5 xwininfo -id "$w" 2>/dev/null | awk '/Width:/ { print ($2 > 100) }')" == 1 ]] || continue
        echo "$w"
        break
    done
}

viewable() {
    timeout 5 xwininfo -id "$1" 2>/dev/null | grep -q "Map State: IsViewable"
}

not_viewable() {
    ! viewable "$1"
}

wm_state() {  # Normal, Iconic or nothing (withdrawn)
    xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ { print $3 }'
}

iconic() {
    [[ "$(wm_state "$1")" == Iconic ]]
}

# The boxes and dialogs on the display (its one program's): the viewable dialog windows
# among those the window manager keeps, a short list, read in one go.
dialog_windows() {
    xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*' | while read -r w; do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG || continue
        viewable "$w" && echo $((w))
    done
}

has_dialog() {
    [[ -n "$(dialog_windows "$1")" ]]
}

# answer_dialog PID KEYS...: waits for a box of the program and presses the keys in it,
# once it holds the keyboard focus; pressed again if the box stays (a key that came
# before the box could take it is lost, not a failure of the program).
answer_dialog() {
    local pid=$1
    shift
    wait_for 15 has_dialog "$pid" || fail "no message box appeared"
    local w tries
    w=$(dialog_windows "$pid" | head -1)
    for tries in 1 2 3 4 5; do
        # The box may have been replaced (or closed) since it was found.
        [[ -n "$w" ]] || w=$(dialog_windows "$pid" | head -1)
        [[ -n "$w" ]] || return 0
        # On a loaded machine the window manager can be slow to hand over the focus;
        # a click into the box (on its text, not a button) asks for it the user's way.
        if ! activate "$w"; then
            xdotool mousemove --window "$w" 8 8 click 1 2>/dev/null
            wait_for 3 has_focus "$w" || continue
        fi
        xdotool key "$@"
        wait_for 5 not_viewable "$w" && return 0
    done
    fail "the message box did not close on $*"
}

# activate WINDOW: raises the window and gives it the keyboard focus. Each wait of
# xdotool's own is bounded: on a loaded machine its --sync can wait for good.
activate() {
    timeout 5 xdotool windowactivate --sync "$1" 2>/dev/null || timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null
    wait_for 3 has_focus "$1"
}

# has_focus WINDOW: the keyboard focus is in the window (or a child of it).
has_focus() {
    # An empty id would make xwininfo wait for a click on some window, for good.
    [[ -n "$1" ]] || return 1
    local focus
    focus=$(xdotool getwindowfocus -f 2>/dev/null) || return 1
    [[ "$focus" == "$1" ]] && return 0
    timeout 5 xwininfo -id "$1" -tree 2>/dev/null | grep -q "^ *$(printf '0x%x' "$focus") "
}

# tray_icon PID NAME: the program's icon window docked in the notification area. Its
# WM_NAME is empty (the name is in _NET_WM_NAME only), so it is found by the process.
tray_icon() {
    xdotool search --onlyvisible --pid "$1" 2>/dev/null | while read -r w; do
        [[ "$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null)" == *OVERRIDE* ]] || continue
        [[ "$(xprop -id "$w" _NET_WM_NAME 2>/dev/null)" == *"= \"$2\"" ]] || continue
        # An icon's size, not the frameless splash window's of the same name.
        local size
        size=$(timeout 5 xwininfo -id "$w" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print (w <= 32 && h <= 32) }')
        [[ "$size" == 1 ]] && echo "$w" && break
    done
}

has_tray_icon() {
    [[ -n "$(tray_icon "$1" "$2")" ]]
}

# click_tray PID NAME BUTTON: a click of that button on the program's tray icon.
click_tray() {
    wait_for 15 has_tray_icon "$1" "$2" || fail "$2 has no icon in the notification area"
    local icon
    icon=$(tray_icon "$1" "$2")
    xdotool mousemove --window "$icon" 11 11
    sleep 0.2
    xdotool click "$3"
}

# popup_menu PID: the program's open pop-up menu: a window of its own that the window
# manager does not frame (override-redirect), bigger than its tray icon.
popup_menu() {
    xdotool search --onlyvisible --pid "$1" 2>/dev/null | while read -r w; do
        local info
        info=$(timeout 5 xwininfo -id "$w" 2>/dev/null)
        [[ "$info" == *"Override Redirect State: yes"* ]] || continue
        [[ "$(awk '/Height:/ { print ($2 > 32) }' <<<"$info")" == 1 ]] || continue
        echo "$w"
        break
    done
}

has_popup_menu() {
    [[ -n "$(popup_menu "$1")" ]]
}

# pick_in_menu PID WHAT first|second|last: clicks an item of the open pop-up menu (the
# first two have no separator above them; an item is 22 pixels high).
pick_in_menu() {
    wait_for 5 has_popup_menu "$1" || fail "the $2 did not open"
    local menu height y
    menu=$(popup_menu "$1")
    height=$(timeout 5 xwininfo -id "$menu" | awk '/Height:/ { print $2 }')
    case $3 in
    first) y=10 ;;
    second) y=32 ;;
    last) y=$((height - 11)) ;;
    esac
    xdotool mousemove --window "$menu" 30 "$y"
    sleep 0.2
    xdotool click 1
}

# tray_menu PID NAME first|second|last: opens the tray menu and clicks that item.
tray_menu() {
    click_tray "$1" "$2" 3
    pick_in_menu "$1" "tray menu of $2" "$3"
}

# window_menu PID WINDOW first|second|last: the window's first menu of its menu bar.
window_menu() {
    local tries
    for tries in 1 2 3; do  # a click before the window takes input opens nothing
        xdotool mousemove --window "$2" 15 10
        sleep 0.2
        xdotool click 1
        wait_for 2 has_popup_menu "$1" && break
    done
    pick_in_menu "$1" "first menu of the window" "$3"
}

# client_origin WINDOW: "x y" of the window's client area on the screen.
client_origin() {
    timeout 5 xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }'
}

# The frame the window manager put round a window: "left right top bottom".
frame_extents() {
    xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | awk -F' = ' 'NF == 2 { gsub(",", "", $2); print $2 }'
}

framed() {
    [[ -n "$(frame_extents "$1")" ]]
}

# outer_size WINDOW: "width height" of the window with its frame.
outer_size() {
    local l r t b
    read -r l r t b <<<"$(frame_extents "$1")"
    timeout 5 xwininfo -id "$1" | awk -v fw=$((l + r)) -v fh=$((t + b)) \
        '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w + fw, h + fh }'
}

# outer_minimum WINDOW: "width height" of the smallest the window may be, frame included.
outer_minimum() {
    local l r t b
    read -r l r t b <<<"$(frame_extents "$1")"
    xprop -id "$1" WM_NORMAL_HINTS | awk -v fw=$((l + r)) -v fh=$((t + b)) \
        '/minimum size:/ { print $(NF - 2) + fw, $NF + fh }'
}

screenshot() {
    command -v import >/dev/null && import -window root "$1" 2>/dev/null
}
