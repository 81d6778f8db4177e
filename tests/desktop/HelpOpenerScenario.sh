#!/bin/bash
# The installed Dialtally on a real X display (Xvfb and openbox), its help opened through
# the desktop's own opener (xdg-open, no desktop environment) with a stand-in browser
# that records what it was given: the first start opens the contents, and F1 and the
# Help button of the Beep dialog land on the Beep section.
#
# Usage: HelpOpenerScenario.sh BUILD_DIR
# Everything lives in a temporary folder: the program folder, the settings store, the
# browser's record. Fails when a tool it needs is missing.
set -u

build=${1:?usage: HelpOpenerScenario.sh BUILD_DIR}
work=$(mktemp -d)
pids=()

finish() {
    local status=$?
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    if [ "$status" -ne 0 ] && [ -f "$work/program.log" ]; then
        echo "--- program output"; cat "$work/program.log"
        echo "--- opener calls"; cat "$work/opener.log" 2>/dev/null
        echo "--- browser calls"; cat "$work/browser.log" 2>/dev/null
    fi
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in Xvfb openbox xdotool xprop xdg-open xdg-mime; do
    command -v "$tool" >/dev/null || fail "$tool is missing (see scripts/deps.sh)"
done
[ -x "$build/tools/dialtally-install" ] && [ -x "$build/dialtally/Dialtally" ] || fail "build Dialtally first"

# Waits up to $1 seconds for the command that follows to succeed.
within() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.2
    done
}

# The text of the first heading of an HTML file: what a reader sees at its top.
first_heading() {
    tr '\n' ' ' < "$1" | grep -o -m1 '<h[1-6][^>]*>[^<]*' | head -n1 | sed 's/<[^>]*>//; s/^ *//; s/ *$//'
}

lines_in() { [ -f "$1" ] && [ "$(wc -l < "$1")" -ge "$2" ]; }

# --- a desktop with no desktop environment: xdg-open takes its generic road
mkdir -p "$work/home" "$work/config" "$work/data/applications" "$work/bin" "$work/nodata"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/nodata"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION KDE_SESSION_VERSION \
    MATE_DESKTOP_SESSION_ID XDG_SESSION_DESKTOP QT_QPA_PLATFORM WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb

# The stand-in browser: records its arguments and keeps a copy of the file it got.
cat > "$work/bin/standin-browser" <<SCRIPT
#!/bin/sh
n=\$(( \$(cat "$work/browser.log" 2>/dev/null | wc -l) + 1 ))
printf '%s\n' "\$*" >> "$work/browser.log"
cp "\$1" "$work/received-\$n.html" 2>/dev/null
SCRIPT
cat > "$work/data/applications/standin-browser.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Stand-in browser
Exec=$work/bin/standin-browser %f
MimeType=text/html;
DESKTOP
printf '[Default Applications]\ntext/html=standin-browser.desktop\n' > "$work/config/mimeapps.list"
export BROWSER="$work/bin/standin-browser"

# Qt finds xdg-open on PATH; this one notes the URL it was asked for and runs the real one.
real_opener=$(command -v xdg-open)
cat > "$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$*" >> "$work/opener.log"
exec "$real_opener" "\$@"
SCRIPT
chmod +x "$work/bin/standin-browser" "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

[ "$(xdg-mime query default text/html)" = standin-browser.desktop ] || fail "the stand-in browser is not the default"

# --- the display
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
within 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
XDG_DATA_DIRS=/usr/local/share:/usr/share openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
within 20 wm_running || fail "openbox did not start: $(cat "$work/openbox.log")"

# --- install and start the program the way its user does
"$build/tools/dialtally-install" --prefix "$work/prog" --peers "$work/nopeers" >"$work/install.log" 2>&1 ||
    fail "install: $(cat "$work/install.log")"
[ -f "$work/prog/Dialtally Help/context-10.html" ] || fail "the installation laid down no topic pages"

"$work/prog/Dialtally" >"$work/program.log" 2>&1 &
pids+=($!)

# The first start greets the new user with two messages and then opens the contents.
opened_contents() { lines_in "$work/browser.log" 1; }
dismiss_greetings() {
    opened_contents && return 0
    local box
    box=$(xdotool search --onlyvisible --name '^Dialtally 2.01$' 2>/dev/null | tail -n1)
    [ -n "$box" ] && timeout 5 xdotool windowactivate --sync "$box" key --clearmodifiers Return 2>/dev/null
    opened_contents
}
within 90 dismiss_greetings || fail "the first start did not open the help contents"
[ "$(sed -n 1p "$work/browser.log")" = "$work/prog/Dialtally Help.html" ] ||
    fail "contents: the browser got '$(sed -n 1p "$work/browser.log")'"
[ "$(first_heading "$work/received-1.html")" = "Dialtally Help" ] || fail "contents: not the top of the document"

# --- the Beep dialog: F1, then its Help button, both land on the Beep section
# Minimized, the main window's title is the program's title, what its taskbar entry reads.
main_window() { xdotool search --name '^Dialtally( 2\.01| v2\.01|: \[.*)$' 2>/dev/null | head -n1; }
main_window_known() { test -n "$(main_window)"; }
within 20 main_window_known || fail "no main window"
open_beep() {
    timeout 5 xdotool windowactivate --sync "$(main_window)" key --clearmodifiers alt+b 2>/dev/null
    within 3 xdotool search --onlyvisible --name '^Beep$' >/dev/null 2>&1
}
within 30 open_beep || fail "Options | Beep did not open the Beep dialog"
beep=$(xdotool search --onlyvisible --name '^Beep$' | head -n1)

timeout 5 xdotool windowactivate --sync "$beep" key --clearmodifiers F1
within 20 lines_in "$work/browser.log" 2 || fail "F1 in Beep opened nothing"
timeout 5 xdotool windowactivate --sync "$beep" key --clearmodifiers alt+h
within 20 lines_in "$work/browser.log" 3 || fail "Help in Beep opened nothing"

page="$work/prog/Dialtally Help/context-10.html"
for n in 2 3; do
    asked=$(sed -n "${n}p" "$work/opener.log")
    got=$(sed -n "${n}p" "$work/browser.log")
    case "$asked" in *'#'*) fail "call $n: the program handed the opener a fragment: $asked" ;; esac
    [ "$got" = "$page" ] || fail "call $n: the browser got '$got', not the Beep page"
    heading=$(first_heading "$work/received-$n.html")
    [ "$heading" = "Beep" ] || fail "call $n: the page opens at '$heading', not at 'Beep'"
done
timeout 5 xdotool windowactivate --sync "$beep" key --clearmodifiers Escape 2>/dev/null
echo "PASS: contents, F1 and Help of Beep arrived at their sections through $("$real_opener" --version)"
