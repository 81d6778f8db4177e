#!/usr/bin/env bash
# The desktop scenarios: scenarios.sh NAME runs one on a desktop of its own.
set -uo pipefail
BUILD_DIR=${DIALTALLY_BUILD_DIR:?the build folder}
source "$(dirname "$0")/desktop.sh"

SOFT='HKCU\Software\Dialtally'
MAIN_TITLE='Dialtally 2.01'

# A new user's first start: the defaults are written (two boxes to confirm) and, with
# "Minimize" and "System tray" 1, the program goes to the tray.
first_start() {
    install_programs
    start_program Dialtally
    # The splash, then the two boxes of the defaults, each confirmed as it comes.
    local boxes=0 until=$((SECONDS + 60))
    while ((SECONDS < until)); do
        running || fail "the program ended during its first start ($boxes boxes confirmed)"
        has_tray_icon "$APP_PID" Dialtally && break
        if has_dialog "$APP_PID"; then
            answer_dialog "$APP_PID" Return
            boxes=$((boxes + 1))
        fi
        sleep 0.1
    done
    has_tray_icon "$APP_PID" Dialtally || fail "no tray icon after the first start ($boxes boxes confirmed)"
    wait_for 10 main_window_known || fail "no main window"
    settled
}

# The store and program folder of a first start, made once by the FirstStart scenario
# and copied by the scenarios that begin where a new user's first start leaves off.
FIRST_START="$BUILD_DIR/tests/desktop/first-start"

keep_first_start() {
    stop_program
    rm -rf "$FIRST_START.new"
    mkdir -p "$FIRST_START.new"
    cp -a "$XDG_CONFIG_HOME" "$FIRST_START.new/config" && cp -a "$PROGRAMS" "$FIRST_START.new/programs" ||
        fail "cannot keep the first start in $FIRST_START.new"
    rm -rf "$FIRST_START" && mv "$FIRST_START.new" "$FIRST_START" || fail "cannot keep the first start in $FIRST_START"
}

# after_first_start: the program started again on a copy of the first start's store.
after_first_start() {
    copy_first_start
    start_dialtally
}

copy_first_start() {
    [[ -d "$FIRST_START/config" ]] || fail "no first start kept in $FIRST_START: the FirstStart scenario makes it"
    PROGRAMS="$WORK/programs"
    rm -rf "$XDG_CONFIG_HOME"
    cp -a "$FIRST_START/config" "$XDG_CONFIG_HOME" && cp -a "$FIRST_START/programs" "$PROGRAMS" ||
        fail "cannot copy the first start from $FIRST_START"
    # The copy is the program folder now: the store's own names it, so nothing is
    # written to the first start's folder, long gone with its desktop.
    reg add 'HKLM\Software\Dialtally' /v 'Program path' /t REG_SZ /d "$PROGRAMS" /f
}

# in_tray PID NAME: the program's icon is in the notification area of this desktop.
in_tray() {
    case ${DESKTOP_TRAY:-xembed} in
    sni) panel item "$2" >/dev/null 2>&1 ;;
    *) has_tray_icon "$1" "$2" ;;
    esac
}

start_dialtally() {
    start_program Dialtally
    wait_for 20 in_tray "$APP_PID" Dialtally || fail "no tray icon after the start"
    wait_for 10 main_window_known || fail "no main window"
    settled
}

# Start-up ends with the window sent to the tray: a click before that is not a test.
settled() {
    wait_for 10 not_viewable "$MAIN" || fail "the start left the main window on screen"
    sleep 0.3
}

# stop_program: SIGTERM, the way a session's end stops it, and its end awaited.
stop_program() {
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null
}

# While minimized the main window's title is the taskbar's text, the program's title.
MAIN_NAMES='Dialtally( 2\.01| v2\.01|: \[.*)'

main_window_known() {
    MAIN=$(window_named "$APP_PID" "$MAIN_NAMES")
    [[ -n "$MAIN" ]]
}

# Stops the program by its PID and starts again with the settings it wrote.
restart_dialtally() {
    stop_program
    start_dialtally
}

shows_main_after() {  # shows_main_after WHAT: the main window must be on screen
    wait_for 5 viewable "$MAIN" || fail "the main window is not shown after $1"
    [[ "$(wm_state "$MAIN")" == Normal ]] || fail "after $1 the main window is $(wm_state "$MAIN"), not Normal"
    # Where the window manager has placed and framed it, not on its way there.
    wait_for 5 placed "$MAIN" || fail "after $1 the main window keeps moving"
    note "shown after $1"
}

outer_size_is() {
    [[ "$(outer_size "$1")" == "$2" ]]
}

placed() {
    local before
    before=$(client_origin "$1")
    framed "$1" && sleep 0.3 && [[ "$(client_origin "$1")" == "$before" ]]
}

scenario_FirstStart() {
    first_start
    not_viewable "$MAIN" || fail "the defaults did not put the window in the tray"
    note "in the tray after the first start"
    keep_first_start
}

scenario_TrayClickShowsTheWindow() {
    after_first_start
    not_viewable "$MAIN" || fail "the defaults did not put the window in the tray"
    note "in the tray after a start with the first start's settings"
    click_tray "$APP_PID" Dialtally 1
    shows_main_after "a tray click"
    activate "$MAIN" || fail "cannot give the keyboard focus to the window"
    xdotool key alt+d
    wait_for 5 not_viewable "$MAIN" || fail "Hide left the window on screen"
    note "hidden by Hide"
    click_tray "$APP_PID" Dialtally 1
    shows_main_after "Hide and a tray click"
    # The same road after a later start, and through the tray menu's "Restore".
    restart_dialtally
    not_viewable "$MAIN" || fail "the start did not put the window in the tray"
    tray_menu "$APP_PID" Dialtally first
    shows_main_after "a start and the tray menu's Restore"
    screenshot "${DESKTOP_SCREENSHOT:-/dev/null}"
    # View > Graphs opens at its outer size, frame included, and keeps its outer minimum.
    activate "$MAIN" || fail "cannot give the keyboard focus to the window"
    xdotool key alt+v g
    wait_for 10 sh -c "xdotool search --all --onlyvisible --pid $APP_PID --name '^Graphs\$' >/dev/null" ||
        fail "View > Graphs did not open"
    local graphs
    graphs=$(xdotool search --all --onlyvisible --pid "$APP_PID" --name '^Graphs$' | head -1)
    wait_for 5 framed "$graphs" || fail "the window manager did not frame Graphs"
    # Its size is set once the frame is known, a moment after the window manager framed it.
    wait_for 5 outer_size_is "$graphs" "545 464" || fail "Graphs opened at $(outer_size "$graphs") outside, not 545 464"
    [[ "$(outer_minimum "$graphs")" == "545 459" ]] || fail "the smallest Graphs is $(outer_minimum "$graphs") outside, not 545 459"
    note "Graphs opened at 545 x 464 outside, no smaller than 545 x 459"
}

scenario_ExitNoKeepsTheProgram() {
    after_first_start
    tray_menu "$APP_PID" Dialtally last  # Exit
    answer_dialog "$APP_PID" n
    sleep 1.5
    running || fail "the program ended after Exit was answered No"
    note "still running after Exit -> No"
    [[ "$(reg_query 'HKLM\Software\Dialtally' Bug)" == 0x1 ]] || fail "\"Bug\" is not 1 after Exit -> No"
    tray_menu "$APP_PID" Dialtally last
    answer_dialog "$APP_PID" y
    wait_for 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit -> Yes did not end the program"
    [[ "$(reg_query 'HKLM\Software\Dialtally' Bug)" == 0x0 ]] || fail "Exit -> Yes left \"Bug\" at $(reg_query 'HKLM\Software\Dialtally' Bug)"
    note "Exit -> Yes ended it with its closing steps"
}

scenario_FailingExecLineKeepsTheProgram() {
    after_first_start
    reg_int "$SOFT" 'Connect delay' 0
    reg_int "$SOFT\\Exec" Lines 1
    reg add "$SOFT\\Exec" /v Line0 /t REG_SZ /d "$WORK/no-such-program" /f
    reg add 'HKCU\RemoteAccess\Addresses' /v Provider /t REG_SZ /d '' /f
    reg add 'HKCU\RemoteAccess' /v Default /t REG_SZ /d Provider /f
    reg add 'HKLM\System\CurrentControlSet\Services\RemoteAccess' /v 'Remote Connection' /t REG_BINARY /d 01000000 /f
    answer_dialog "$APP_PID" Return
    note "the box for the failing line was answered"
    sleep 1.5
    running || fail "the program ended when the box of the failing Exec line closed"
    not_viewable "$MAIN" || fail "the box brought the hidden window back"
    note "still running, still in the tray"
}

scenario_PositionKeptAcrossRestarts() {
    after_first_start
    click_tray "$APP_PID" Dialtally 1
    shows_main_after "a tray click"
    local first
    first=$(client_origin "$MAIN")
    for round in 1 2 3 4 5; do
        tray_menu "$APP_PID" Dialtally last
        answer_dialog "$APP_PID" y
        wait_for 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit -> Yes did not end the program"
        note "exit $round"
        start_dialtally
        click_tray "$APP_PID" Dialtally 1
        shows_main_after "start $round and a tray click"
        local now
        now=$(client_origin "$MAIN")
        [[ "$now" == "$first" ]] || fail "after $round exits and starts the window is at $now, not at $first"
    done
    note "at $first after five exits and starts"
}

scenario_PostpeekAutoMinimize() {
    copy_first_start
    local email="$SOFT\\Email"
    reg_int "$email" On/Off 1
    # The first-run defaults, AutoCheck 1, and AutoCheck 0.
    for check in 1 0; do
        for tray in 1 0; do
            reg_int "$email" AutoCheck "$check"
            reg_int "$email" SystemTray "$tray"
            reg_int "$email" AutoMinimize 1
            start_program Postpeek
            wait_for 10 postpeek_known || fail "no Postpeek window (AutoCheck $check, tray $tray)"
            sleep 1.5
            if ((tray)); then
                wait_for 10 not_viewable "$PEEK" || fail "Postpeek is on screen at start (AutoCheck $check, tray 1)"
                click_tray "$APP_PID" Postpeek 1
                wait_for 5 viewable "$PEEK" || fail "a tray click did not show Postpeek (AutoCheck $check)"
                [[ "$(wm_state "$PEEK")" == Normal ]] || fail "Postpeek is $(wm_state "$PEEK") after a tray click"
                wait_for 5 placed "$PEEK" || fail "Postpeek keeps moving after a tray click"
                # File > Hide, then at once a tray click: no race with the window manager.
                window_menu "$APP_PID" "$PEEK" second
                wait_for 5 not_viewable "$PEEK" || fail "File > Hide left Postpeek on screen"
                click_tray "$APP_PID" Postpeek 1
                wait_for 5 viewable "$PEEK" || fail "a tray click after Hide did not show Postpeek"
                note "AutoCheck $check, tray 1: in the tray at start, shown by tray clicks"
            else
                wait_for 10 iconic "$PEEK" || fail "Postpeek is $(wm_state "$PEEK") at start, not minimized (AutoCheck $check, tray 0)"
                note "AutoCheck $check, tray 0: minimized at start"
            fi
            kill "$APP_PID"
            wait "$APP_PID" 2>/dev/null
        done
    done
}

# A tray program left alone: the box of a failed start check stays open for more
# than the one-minute period, the next check still reaches the server and adds no
# box of the same fault, the server's HTML is shown as text, and a log-out (SIGTERM)
# ends the program with the box still open, its check marks saved.
scenario_PostpeekErrorBoxKeepsCheckingAndEndsOnTerm() {
    copy_first_start
    local count="$WORK/pop3-connections"
    "$BUILD_DIR/tests/desktop/scripted-pop3" "$count" \
        '-ERR <h1>Login</h1> <b>failed</b>, <a href="http://example.org/">reset here</a>' >"$WORK/pop3.port" 2>"$WORK/pop3.log" &
    PIDS+=($!)
    wait_for 10 test -s "$WORK/pop3.port" || fail "the scripted POP3 server did not start"
    local account="$SOFT\\Email\\Accounts\\home"
    reg add "$account" /v User /t REG_SZ /d joe /f
    reg add "$account" /v Password /t REG_SZ /d secret /f
    reg add "$account" /v Host /t REG_SZ /d 127.0.0.1 /f
    reg_int "$account" Port "$(head -1 "$WORK/pop3.port")"
    # Not 1: what the close writes is the mark on screen, 1.
    reg_int "$account" Checked 5
    local email="$SOFT\\Email"
    reg_int "$email" On/Off 1
    reg_int "$email" Minutes 1
    reg_int "$email" AutoCheck 1
    reg_int "$email" AutoMinimize 0
    reg_int "$email" SystemTray 0
    reg add 'HKLM\System\CurrentControlSet\Services\RemoteAccess' /v 'Remote Connection' /t REG_BINARY /d 01000000 /f
    start_program Postpeek
    wait_for 20 has_dialog "$APP_PID" || fail "no box for the refused start check"
    note "the start check's box is open"
    wait_for 90 sh -c "[ \"\$(cat '$count' 2>/dev/null)\" -ge 2 ]" ||
        fail "no check reached the server in 90 s while the box was open ($(cat "$count" 2>/dev/null) connections)"
    note "a timed check reached the server while the box was open"
    sleep 2
    local boxes
    boxes=$(dialog_windows "$APP_PID" | wc -l)
    ((boxes == 1)) || fail "$boxes boxes are open, not one, after the same fault twice"
    screenshot "${DESKTOP_SCREENSHOT:-/dev/null}"
    kill "$APP_PID"
    wait_for 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "SIGTERM did not end Postpeek while its box was open"
    note "SIGTERM ended Postpeek with its box open"
    [[ "$(reg_query "$account" Checked)" == 0x1 ]] || fail "the marks were not saved: Checked is $(reg_query "$account" Checked)"
}

# The Dialtally processes that run from this scenario's program folder.
copies_running() {
    pgrep -c -f -- "^$PROGRAMS/Dialtally( |\$)"
}

one_copy_running() {
    [[ "$(copies_running)" == 1 ]]
}

bug_is() {
    [[ "$(reg_query 'HKLM\Software\Dialtally' Bug)" == "$1" ]]
}

# A click on the menu entry while Dialtally counts in the tray: the running copy shows
# its window, the second start ends, and the connection is recorded once.
scenario_SecondStartShowsTheRunningCopy() {
    copy_first_start
    install_programs  # the menu entries, for this program folder
    local entry="$XDG_DATA_HOME/applications/dialtally.desktop"
    [[ -f "$entry" ]] || fail "the installation wrote no menu entry $entry"
    reg_int "$SOFT" 'Connect delay' 0
    reg add 'HKCU\RemoteAccess\Addresses' /v Provider /t REG_SZ /d '' /f
    reg add 'HKCU\RemoteAccess' /v Default /t REG_SZ /d Provider /f
    start_dialtally
    local line='HKLM\System\CurrentControlSet\Services\RemoteAccess'
    reg add "$line" /v 'Remote Connection' /t REG_BINARY /d 01000000 /f
    wait_for 10 bug_is 0x2 || fail "the connection was not counted"
    note "counting in the tray"
    gio launch "$entry" >>"$WORK/gio.log" 2>&1 || fail "gio launch $entry failed: $(cat "$WORK/gio.log")"
    shows_main_after "a start from the menu entry"
    screenshot "${DESKTOP_SCREENSHOT:-/dev/null}"
    wait_for 10 one_copy_running || fail "$(copies_running) copies of Dialtally run after the second start"
    running || fail "the counting copy ended"
    note "one copy runs, and it shows its window"
    reg add "$line" /v 'Remote Connection' /t REG_BINARY /d 00000000 /f
    wait_for 10 bug_is 0x1 || fail "the connection's end was not saved"
    local size
    size=$(stat -c %s "$PROGRAMS/history.dat" 2>/dev/null)
    [[ "$size" == 192 ]] || fail "history.dat holds ${size:-no} bytes, not one record of 192"
    note "one record in history.dat"
}

# The store deleted while Dialtally counts in the tray: a box names it, no empty store
# takes its place (the hook's line change is refused), and the connection counted from
# the deleted store's contents reaches the history when the program ends.
scenario_DeletedStoreIsToldAndTheConnectionKept() {
    copy_first_start
    reg add 'HKCU\RemoteAccess\Addresses' /v Provider /t REG_SZ /d '' /f
    reg add 'HKCU\RemoteAccess' /v Default /t REG_SZ /d Provider /f
    start_dialtally
    local line='HKLM\System\CurrentControlSet\Services\RemoteAccess'
    local store="$XDG_CONFIG_HOME/dialtally/registry.db"
    reg add "$line" /v 'Remote Connection' /t REG_BINARY /d 01000000 /f
    wait_for 10 bug_is 0x2 || fail "the connection was not counted"
    rm "$store" || fail "cannot delete $store"
    wait_for 10 has_dialog "$APP_PID" || fail "no box told of the deleted store"
    sleep 0.5
    screenshot "${DESKTOP_SCREENSHOT:-/dev/null}"
    note "the deleted store is told"
    "$BUILD_DIR/tools/dialtally-reg" add "$line" /v 'Remote Connection' /t REG_BINARY /d 00000000 /f \
        >"$WORK/reg.log" 2>&1 && fail "the registry tool wrote to a store that is gone"
    grep -qF "\"$store\" does not exist" "$WORK/reg.log" || fail "the tool did not name the missing store: $(cat "$WORK/reg.log")"
    [[ ! -e "$store" ]] || fail "a new store was made in place of the deleted one"
    answer_dialog "$APP_PID" Return
    sleep 1.5
    running || fail "Dialtally ended after the box"
    stop_program
    local size
    size=$(stat -c %s "$PROGRAMS/history.dat" 2>/dev/null)
    [[ "$size" == 192 ]] || fail "history.dat holds ${size:-no} bytes, not the one connection's 192"
    [[ ! -e "$store" ]] || fail "the end made a new store"
    note "the connection is in history.dat, and no store was made"
}

postpeek_known() {
    PEEK=$(window_named "$APP_PID" 'Postpeek.*')
    [[ -n "$PEEK" ]] || PEEK=$(xdotool search --all --pid "$APP_PID" --class Postpeek 2>/dev/null | while read -r w; do
        [[ "$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null)" == *_NET_WM_WINDOW_TYPE_NORMAL* ]] && echo "$w" && break
    done)
    [[ -n "$PEEK" ]]
}

scenario_SelectEditorListsTheFiles() {
    after_first_start
    local folder="$WORK/editors"
    mkdir -p "$folder"
    printf '#!/bin/sh\nexit 0\n' >"$folder/myeditor"
    chmod +x "$folder/myeditor"
    click_tray "$APP_PID" Dialtally 1
    shows_main_after "a tray click"
    activate "$MAIN" || fail "cannot give the keyboard focus to the window"
    xdotool key ctrl+o
    wait_for 5 has_dialog "$APP_PID" || fail "Open report did not open"
    local report
    report=$(dialog_windows "$APP_PID" | head -1)
    # "Select editor ..." follows the report list.
    activate "$report" || fail "cannot give the keyboard focus to the window"
    xdotool key Tab space
    wait_for 5 sh -c "xdotool search --onlyvisible --name '^Select editor \\.\\.\\.\$' >/dev/null" ||
        fail "\"Select editor ...\" did not open its file dialog"
    local chooser
    chooser=$(xdotool search --onlyvisible --name '^Select editor \.\.\.$' | head -1)
    activate "$chooser" || fail "cannot give the keyboard focus to the file dialog"
    # Into the folder by its name, then the first entry of the list, as keys would.
    xdotool type --delay 20 "$folder/"
    xdotool key Return
    sleep 0.8
    # A double click on the first row of the list, below its header.
    xdotool mousemove --window "$chooser" 160 72
    sleep 0.3
    xdotool click --repeat 2 --delay 80 1
    wait_for 5 sh -c "! xdotool search --onlyvisible --name '^Select editor \\.\\.\\.\$' >/dev/null" ||
        fail "the file dialog lists nothing to pick in $folder"
    local editor
    editor=$("$BUILD_DIR/tools/dialtally-reg" query "$SOFT" /v Editor | sed -n 's/.*REG_SZ *//p')
    [[ "$editor" == "$folder/myeditor" ]] || fail "the editor picked from the list is \"$editor\", not $folder/myeditor"
    note "the folder's program was listed and picked"
}

# ---- the other desktops ------------------------------------------------------------------

# The D-Bus panel's item of a program, "service path".
sni_item() {
    SNI_ITEM=$(panel item "$1") || fail "$1 has no item in the D-Bus notification area"
}

# menu_is ITEM EXPECTED: the item's exported menu, its entries joined by "|".
menu_is() {
    local menu
    menu=$(panel menu $1 | paste -sd'|') || fail "the D-Bus panel cannot read the menu of $1: $menu"
    [[ "$menu" == "$2" ]] || fail "the exported menu reads \"$menu\", not \"$2\""
}

icon_sizes_cover() {  # icon_sizes_cover ITEM: the panel gets the icon drawn at its sizes
    local sizes
    sizes=$(panel show $1 | sed -n 's/^icon sizes: //p')
    local size
    for size in 16x16 22x22 24x24 32x32 48x48; do
        [[ " $sizes " == *" $size "* ]] || fail "the icon comes at $sizes only, not at $size"
    done
}

# quiet_for ITEM SECONDS: while nothing changes the item tells the panel of no change.
quiet_for() {
    local service=${1%% *}
    panel forget "$service"
    sleep "$2"
    local said
    said=$(panel signals "$service" | awk '$2 > 0' | paste -sd' ')
    [[ -z "$said" ]] || fail "with nothing new in $2 s the item sent $said"
}

tooltip_of() {
    panel show $1 | sed -n 's/^tooltip: //p'
}

tooltip_is() {  # the first tick sets it, a moment after the icon comes
    [[ "$(tooltip_of "$1")" == "$2" ]]
}

scenario_TrayMenuOverDBus() {
    after_first_start
    sni_item Dialtally
    local dialtally=$SNI_ITEM
    menu_is "$dialtally" 'Restore|-|Connections ...|-|Beep ...|Time Synchronization ...|Check EMail ...|-|Counter ...|-|Providers ...|Tariffs ...|-|Preferences ...|-|Exit'
    note "Dialtally's menu is exported, entries in order"
    icon_sizes_cover "$dialtally"
    wait_for 5 tooltip_is "$dialtally" 'Dialtally: [Not Connected] ' ||
        fail "the tooltip reads \"$(tooltip_of "$dialtally")\""
    quiet_for "$dialtally" 4
    note "idle: no NewIcon, no NewToolTip"
    # The panel's entries do what the window's would: Restore, then Exit and its question.
    panel click $dialtally Restore || fail "the panel cannot click Restore"
    shows_main_after "the exported menu's Restore"
    panel click $dialtally Exit || fail "the panel cannot click Exit"
    answer_dialog "$APP_PID" y
    wait_for 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit -> Yes from the exported menu did not end the program"
    note "Exit from the exported menu ended Dialtally"

    local email="$SOFT\\Email"
    reg_int "$email" On/Off 1
    reg_int "$email" AutoCheck 0
    reg_int "$email" SystemTray 1
    start_program Postpeek
    wait_for 20 in_tray "$APP_PID" Postpeek || fail "Postpeek has no item in the D-Bus notification area"
    sni_item Postpeek
    menu_is "$SNI_ITEM" 'Restore|Hide|-|Check now|-|Exit'
    icon_sizes_cover "$SNI_ITEM"
    panel activate $SNI_ITEM || fail "the panel cannot activate Postpeek's item"
    wait_for 10 postpeek_known || fail "no Postpeek window"
    wait_for 5 viewable "$PEEK" || fail "Activate did not show Postpeek"
    panel click $SNI_ITEM Exit || fail "the panel cannot click Postpeek's Exit"
    wait_for 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit from Postpeek's exported menu did not end it"
    note "Postpeek: menu exported, activated, ended by its Exit"
}

# The panel starts after the program, as at a log-in where the autostart wins the race.
scenario_LateTrayIsUsed() {
    copy_first_start
    start_program Dialtally
    wait_for 20 main_window_known || fail "no main window"
    wait_for 10 iconic "$MAIN" || fail "without a tray the start left the window $(wm_state "$MAIN"), not minimized on the taskbar"
    skips_taskbar "$MAIN" && fail "without a tray the minimized window has no taskbar entry"
    note "no tray: minimized on the taskbar"
    start_sni_panel
    DESKTOP_TRAY=sni
    wait_for 15 in_tray "$APP_PID" Dialtally || fail "the panel that came late got no icon"
    wait_for 5 not_viewable "$MAIN" || fail "with the tray there the minimized window stayed on the taskbar"
    sni_item Dialtally
    panel activate $SNI_ITEM || fail "the panel cannot activate the item"
    shows_main_after "Activate on the late panel"
    wait_for 5 skips_taskbar "$MAIN" || fail "restored from the late tray, the window has a taskbar entry: $(xprop -id "$MAIN" _NET_WM_STATE)"
}

# skips_taskbar WINDOW: the window asks the taskbars not to list it.
skips_taskbar() {
    xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_SKIP_TASKBAR
}

# fluxbox lists every window in its taskbar that does not ask otherwise.
scenario_NoTaskbarEntryInTrayMode() {
    after_first_start
    local round
    for round in 1 2; do
        click_tray "$APP_PID" Dialtally 1
        shows_main_after "tray click $round"
        wait_for 5 skips_taskbar "$MAIN" || fail "restored from the tray ($round), the main window has a taskbar entry"
        activate "$MAIN" || fail "cannot give the keyboard focus to the window"
        xdotool key alt+d
        wait_for 5 not_viewable "$MAIN" || fail "Hide left the window on screen"
    done
    note "Dialtally: no taskbar entry after two restores"
    # The question of Exit belongs to the window, not to the taskbar.
    click_tray "$APP_PID" Dialtally 1
    shows_main_after "a tray click"
    tray_menu "$APP_PID" Dialtally last
    wait_for 15 has_dialog "$APP_PID" || fail "Exit asked nothing"
    local box
    box=$(dialog_windows "$APP_PID" | head -1)
    [[ "$(xprop -id "$box" WM_TRANSIENT_FOR 2>/dev/null | grep -o '0x[0-9a-f]*')" == "$(printf '0x%x' "$MAIN")" ]] ||
        fail "the question of Exit is not owned by the main window"
    answer_dialog "$APP_PID" y
    wait_for 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit -> Yes did not end the program"

    local email="$SOFT\\Email"
    reg_int "$email" On/Off 1
    reg_int "$email" AutoCheck 0
    reg_int "$email" SystemTray 1
    reg_int "$email" AutoMinimize 1
    start_program Postpeek
    wait_for 10 postpeek_known || fail "no Postpeek window"
    click_tray "$APP_PID" Postpeek 1
    wait_for 5 viewable "$PEEK" || fail "a tray click did not show Postpeek"
    wait_for 5 skips_taskbar "$PEEK" || fail "restored from the tray, Postpeek has a taskbar entry"
    note "Postpeek: no taskbar entry after a restore"
}

# X11 without a notification area: the taskbar entry is the way back, and it reads the
# connection's summary while the caption stays the program's.
scenario_TaskbarWithoutTray() {
    copy_first_start
    # Out of tray mode: the splash's taking the taskbar entry away ends with the splash.
    reg_int "$SOFT" 'System tray' 0
    reg_int "$SOFT" 'Connect delay' 0
    reg add 'HKCU\RemoteAccess\Addresses' /v Provider /t REG_SZ /d '' /f
    reg add 'HKCU\RemoteAccess' /v Default /t REG_SZ /d Provider /f
    start_program Dialtally
    wait_for 20 main_window_known || fail "no main window"
    wait_for 10 iconic "$MAIN" || fail "the start left the window $(wm_state "$MAIN"), not minimized on the taskbar"
    skips_taskbar "$MAIN" && fail "without a tray the window has no taskbar entry"
    wait_for 5 taskbar_reads "$MAIN" 'Dialtally: [Not Connected]' || fail "minimized, the taskbar reads \"$(window_title "$MAIN")\", \"$(icon_name "$MAIN")\""
    reg add 'HKLM\System\CurrentControlSet\Services\RemoteAccess' /v 'Remote Connection' /t REG_BINARY /d 01000000 /f
    wait_for 10 taskbar_counts "$MAIN" || fail "while connected the taskbar reads \"$(window_title "$MAIN")\", \"$(icon_name "$MAIN")\""
    note "minimized, the taskbar reads \"$(window_title "$MAIN")\""
    local shot="$BUILD_DIR/tests/desktop/TaskbarWithoutTray.png"
    screenshot "$shot" && note "screenshot: $shot"
    reg add 'HKLM\System\CurrentControlSet\Services\RemoteAccess' /v 'Remote Connection' /t REG_BINARY /d 00000000 /f
    # The frame: one size, no maximize.
    activate "$MAIN" || fail "cannot bring the window back from the taskbar"
    shows_main_after "activation from the taskbar"
    wait_for 5 sh -c "[ \"\$(xprop -id $MAIN _NET_WM_NAME | sed 's/.* = //')\" = '\"$MAIN_TITLE\"' ]" ||
        fail "on the screen the caption is $(xprop -id "$MAIN" _NET_WM_NAME), not \"$MAIN_TITLE\""
    note "on the screen the caption is \"$MAIN_TITLE\""
    local hints
    hints=$(xprop -id "$MAIN" WM_NORMAL_HINTS)
    [[ "$(sed -n 's/.*minimum size: //p' <<<"$hints")" == "$(sed -n 's/.*maximum size: //p' <<<"$hints")" ]] ||
        fail "the main window can be resized: $hints"
    xprop -id "$MAIN" _NET_WM_ALLOWED_ACTIONS | grep -q MAXIMIZE && fail "the window manager offers to maximize the main window"
    note "fixed size, no maximize"
    xdotool key alt+x
    answer_dialog "$APP_PID" y
    wait_for 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit -> Yes did not end the program"
}

icon_name() {
    xprop -id "$1" _NET_WM_ICON_NAME 2>/dev/null | sed -n 's/^_NET_WM_ICON_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

window_title() {
    xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

# taskbar_reads WINDOW TEXT: what taskbars show of the window, its title (fluxbox, most
# panels) and its icon name (panels that show that for a minimized window).
taskbar_reads() {
    [[ "$(window_title "$1")" == "$2" && "$(icon_name "$1")" == "$2" ]]
}

taskbar_counts() {
    local text
    text=$(window_title "$1")
    [[ "$text" == 'Dialtally: [ 0 h. 0 min. '*' sec.0 dol. 0 c. ]' ]] && taskbar_reads "$1" "$text"
}

# ---- Wayland ------------------------------------------------------------------------------
# A Wayland client learns little of its windows; the protocol it logs says what it asked.

# wayland_minimize LOG TITLE: "after" when the toplevel titled TITLE asked to be
# minimized once the compositor had configured it (so that it is on the screen), "before"
# when it asked earlier, nothing when it never asked.
wayland_minimize() {
    awk -v title="$2" '
    function id(text, prefix) { sub(".*" prefix "@", "", text); sub("[^0-9].*", "", text); return text }
    /-> xdg_surface@[0-9]+\.get_toplevel\(new id xdg_toplevel@/ {
        t = $0; sub(/.*new id xdg_toplevel@/, "", t); sub(/[^0-9].*/, "", t)
        surface[t] = id($0, "xdg_surface"); acked[surface[t]] = 0; titled[t] = 0
    }
    /-> xdg_surface@[0-9]+\.ack_configure\(/ { acked[id($0, "xdg_surface")] = 1 }
    /-> xdg_toplevel@[0-9]+\.set_title\(/ { titled[id($0, "xdg_toplevel")] = index($0, "set_title(\"" title "\")") > 0 }
    /-> xdg_toplevel@[0-9]+\.set_minimized\(\)/ {
        t = id($0, "xdg_toplevel")
        if (titled[t]) { print (acked[surface[t]] ? "after" : "before"); exit }
    }' "$1"
}

minimized_when_shown() {
    [[ "$(wayland_minimize "$1" "$2")" == after ]]
}

toplevels_titled() {  # toplevels_titled LOG TITLE: how many windows of that caption were made
    grep -c -- "-> xdg_toplevel@[0-9]*\.set_title(\"$2\")" "$1"
}

# Without a notification area: minimized at start on the compositor, and the stored
# position kept, since the program cannot know where its window was.
scenario_WaylandWithoutTray() {
    copy_first_start
    reg_int "$SOFT" poztop 100
    reg_int "$SOFT" pozleft 150
    local log="$WORK/Dialtally.log"
    start_program Dialtally
    wait_for 20 sh -c "grep -q 'set_title(\"$MAIN_TITLE\")' '$log'" || fail "Dialtally made no main window on the compositor"
    grep -q 'set_app_id("dialtally")' "$log" || fail "the window's app id is not the menu entry's \"dialtally\": $(grep -o 'set_app_id([^)]*)' "$log" | head -1)"
    wait_for 10 minimized_when_shown "$log" "$MAIN_TITLE" ||
        fail "\"Minimize\" at start: $(wayland_minimize "$log" "$MAIN_TITLE" | sed 's/^$/never asked/;s/^before$/asked before the first configure/')"
    note "Dialtally minimized once shown, app id dialtally"
    stop_program
    [[ "$(reg_query "$SOFT" poztop) $(reg_query "$SOFT" pozleft)" == "0x64 0x96" ]] ||
        fail "the exit stored the position $(reg_query "$SOFT" pozleft), $(reg_query "$SOFT" poztop), not 150, 100"
    note "the stored position 150, 100 is kept"

    local email="$SOFT\\Email"
    reg_int "$email" On/Off 1
    reg_int "$email" AutoCheck 0
    reg_int "$email" SystemTray 0
    reg_int "$email" AutoMinimize 1
    log="$WORK/Postpeek.log"
    start_program Postpeek
    wait_for 20 sh -c "grep -q 'set_title(\"Dialtally EMail Checker v2.0\")' '$log'" || fail "Postpeek made no window on the compositor"
    grep -q 'set_app_id("postpeek")' "$log" || fail "Postpeek's app id is not \"postpeek\""
    wait_for 10 minimized_when_shown "$log" 'Dialtally EMail Checker v2.0' ||
        fail "AutoMinimize: $(wayland_minimize "$log" 'Dialtally EMail Checker v2.0' | sed 's/^$/never asked/;s/^before$/asked before the first configure/')"
    note "Postpeek minimized once shown, app id postpeek"
    stop_program
}

# With a D-Bus panel: the icon and its menu, and the window back from the tray.
scenario_WaylandWithTray() {
    copy_first_start
    local log="$WORK/Dialtally.log"
    start_program Dialtally
    wait_for 20 in_tray "$APP_PID" Dialtally || fail "no icon in the D-Bus notification area"
    sni_item Dialtally
    menu_is "$SNI_ITEM" 'Restore|-|Connections ...|-|Beep ...|Time Synchronization ...|Check EMail ...|-|Counter ...|-|Providers ...|Tariffs ...|-|Preferences ...|-|Exit'
    note "the menu is exported"
    sleep 1
    local before
    before=$(toplevels_titled "$log" "$MAIN_TITLE")
    panel activate $SNI_ITEM || fail "the panel cannot activate the item"
    wait_for 10 sh -c "[ \$(grep -c -- '-> xdg_toplevel@[0-9]*\.set_title(\"$MAIN_TITLE\")' '$log') -gt $before ]" ||
        fail "Activate did not bring the window back on the compositor"
    note "Activate showed the window"
    before=$(toplevels_titled "$log" "$MAIN_TITLE")
    panel click $SNI_ITEM Exit || fail "the panel cannot click Exit"
    # The question comes up as a window of the program's caption.
    wait_for 10 sh -c "[ \$(grep -c -- '-> xdg_toplevel@[0-9]*\.set_title(\"$MAIN_TITLE\")' '$log') -gt $before ]" ||
        fail "Exit from the exported menu asked nothing"
    note "Exit from the exported menu asked its question"
    stop_program
}

# Connections opens wider than its smallest size, for every column beside the scroll bar,
# and within the screen; Open report wider than its design, for its caption beside the
# title bar's icon and the three buttons openbox draws.
scenario_ListsOpenWithTheirColumnsInView() {
    after_first_start
    click_tray "$APP_PID" Dialtally 1
    shows_main_after "a tray click"
    activate "$MAIN" || fail "cannot give the keyboard focus to the window"
    xdotool key alt+n
    wait_for 5 has_dialog "$APP_PID" || fail "Connections did not open"
    local list width minimum
    list=$(dialog_windows "$APP_PID" | head -1)
    wait_for 5 placed "$list" || fail "Connections keeps moving"
    read -r width _ <<<"$(outer_size "$list")"
    read -r minimum _ <<<"$(outer_minimum "$list")"
    ((width > minimum)) || fail "Connections opened $width wide, at its smallest ($minimum)"
    ((width <= 1024)) || fail "Connections opened $width wide, wider than the screen"
    note "Connections opened $width wide (smallest $minimum)"
    activate "$list" || fail "cannot give the keyboard focus to Connections"
    xdotool key Escape
    wait_for 5 not_viewable "$list" || fail "Connections did not close on Escape"
    activate "$MAIN" || fail "cannot give the keyboard focus to the window"
    xdotool key ctrl+o
    wait_for 5 has_dialog "$APP_PID" || fail "Open report did not open"
    local report
    report=$(dialog_windows "$APP_PID" | head -1)
    wait_for 5 placed "$report" || fail "Open report keeps moving"
    read -r width _ <<<"$(outer_size "$report")"
    # 181 is the design's client width, which left "Open... port" in the title bar.
    ((width > 181 + 16)) || fail "Open report opened $width wide, too narrow for its caption"
    note "Open report opened $width wide"
}

name=${1:?scenario name}
declare -F "scenario_$name" >/dev/null || fail "no scenario $name"
require_tools
start_desktop
"scenario_$name"
echo "PASS: $name"
