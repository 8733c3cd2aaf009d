#!/bin/bash
# The real program on a real X server: Quorvel on a private Xvfb display
# under the openbox window manager, driven by real key events (xdotool),
# the plan read from the real clipboard (xclip). It logs on to an SQLite
# file, creates PLAN_TABLE when asked, runs an analysis, copies the plan
# through the menu, checks where the windows sit with their frames, exits,
# and looks at what the database holds afterwards.
#
# Usage: desktop_smoke.sh <Quorvel> <quorvel-sql>
# Exit status 77 (skipped) only when no X server can be started.
set -uo pipefail

quorvel=$1
console=$2
work=$(mktemp -d)
# Typed at the logon, so lower case letters and digits only: a shifted key
# typed while the system is busy can come out unshifted.
dbdir="/tmp/quorvel-smoke-$$-$(date +%s%N)"
pids=()

cleanup() {
    local p
    for p in "${pids[@]}"; do
        kill "$p" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work" "$dbdir"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    local id
    for id in $(xdotool search --onlyvisible --name '.' 2> /dev/null); do
        echo "window on screen: $(xdotool getwindowname "$id")" >&2
    done
    if [ -s "$work/quorvel.log" ]; then
        echo "--- Quorvel's output:" >&2
        tail -20 "$work/quorvel.log" >&2
    fi
    exit 1
}

# Runs the command until it succeeds, for up to $1 seconds.
await() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

# Runs SQL from standard input on the database; the rows on standard output,
# the messages in console.log.
sql() {
    "$console" "scott/tiger@$db" 2>> "$work/console.log"
}

# ---- The X server and the window manager

if ! command -v Xvfb > /dev/null; then
    echo "SKIP: no X server can be started here: Xvfb is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi
for tool in openbox xdotool xclip xprop xwininfo; do
    command -v "$tool" > /dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
pids+=($!)
if ! await 15 test -s "$work/display"; then
    echo "SKIP: no X server can be started here: $(tail -1 "$work/xvfb.log")"
    exit 77
fi
export DISPLAY=":$(head -1 "$work/display")"
unset WAYLAND_DISPLAY
HOME="$work" openbox --sm-disable > "$work/openbox.log" 2>&1 &
pids+=($!)
await 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start: $(tail -1 "$work/openbox.log")"

# ---- The database: one table with a few rows, no PLAN_TABLE

mkdir -m 700 "$dbdir" || fail "cannot make $dbdir"
db="$dbdir/sales.db"
: > "$db"
sql > /dev/null << 'EOF' || fail "could not prepare the database: $(cat "$work/console.log")"
CREATE TABLE emp (empno NUMBER(4) PRIMARY KEY, ename VARCHAR2(10), sal NUMBER(7,2));
INSERT INTO emp VALUES (7369, 'SMITH', 800);
INSERT INTO emp VALUES (7499, 'ALLEN', 1600);
INSERT INTO emp VALUES (7521, 'WARD', 1250);
EOF

# ---- Windows

# The visible window whose name matches $1 and whose first window type is $2
# (NORMAL for the main window, DIALOG for the dialogs and message boxes).
window() {
    local id
    for id in $(xdotool search --onlyvisible --name "$1" 2> /dev/null); do
        if xprop -id "$id" _NET_WM_WINDOW_TYPE 2> /dev/null | grep -q "= _NET_WM_WINDOW_TYPE_$2"; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# The outer rectangle of a framed window, "left top width height".
frame() {
    local id=$1 x y w h l r t b
    xprop -id "$id" _NET_FRAME_EXTENTS | grep -q CARDINAL || return 1
    read -r l r t b < <(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    eval "$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print "x=" $4}
        /Absolute upper-left Y/ {print "y=" $4} /Width:/ {print "w=" $2} /Height:/ {print "h=" $2}')"
    echo $((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))
}

# Pixels from half pixels, rounded half away from zero (the twips arithmetic:
# a twip is a fifteenth of a pixel, and the halves of outer sizes are
# multiples of half a pixel).
halves() {
    local v=$1
    if ((v >= 0)); then echo $(((v + 1) / 2)); else echo $((-((1 - v) / 2))); fi
}

focus() {
    xdotool windowactivate --sync "$1" > /dev/null 2>&1 || xdotool windowfocus --sync "$1"
}

# ---- Start and log on

mkdir -m 700 "$work/run"
XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb "$quorvel" > "$work/quorvel.log" 2>&1 &
quorvel_pid=$!
pids+=($quorvel_pid)

await 20 window '^Quorvel$' DIALOG > /dev/null || fail "the logon dialog did not open"
logon=$(window '^Quorvel$' DIALOG)
main=$(window '^Quorvel$' NORMAL) || fail "no main window behind the logon dialog"
await 10 frame "$main" > /dev/null && await 10 frame "$logon" > /dev/null ||
    fail "the window manager did not frame the windows"

# The main window is centred on the screen with its frame; the logon dialog
# over the main window's frame with its own.
read -r sw sh < <(xwininfo -root | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}')
read -r mx my mw mh < <(frame "$main")
[ "$mx $my" = "$(((sw - mw) / 2)) $(((sh - mh) / 2))" ] ||
    fail "main window frame at $mx,$my ($mw x $mh), not centred on the $sw x $sh screen"
read -r lx ly lw lh < <(frame "$logon")
expected="$(halves $((2 * mx + mw - lw))) $(halves $((2 * my + mh - lh)))"
[ "$lx $ly" = "$expected" ] ||
    fail "logon dialog frame at $lx,$ly ($lw x $lh), not centred over the main window ($expected) $(xprop -id "$logon" WM_NORMAL_HINTS WM_NAME _NET_WM_WINDOW_TYPE WM_TRANSIENT_FOR; xwininfo -id "$logon" | grep -E "Absolute|Width|Height")"

focus "$logon"
xdotool type --delay 10 "scott"
xdotool key Return
xdotool type --delay 10 "tiger"
xdotool key Return
xdotool type --delay 10 "$db"
xdotool key Down Return # Down moves to ＯＫ; Enter presses it

await 20 window '^PLAN_TABLE' DIALOG > /dev/null || fail "no question about PLAN_TABLE after the logon"
focus "$(window '^PLAN_TABLE' DIALOG)"
xdotool key Return # Yes: create it
await 20 sh -c "! xdotool search --onlyvisible --name '^PLAN_TABLE' > /dev/null" ||
    fail "the PLAN_TABLE question stayed open"

# ---- An analysis, and its plan copied through the menu

focus "$main"
xdotool key alt+e c # 画面ｸﾘｱ(&C): empty panes, the focus in the SQL pane
xdotool type --delay 10 "select ename from emp where sal between 1000 and 2000"
xdotool key Tab Return # to 実　行, and press it

ids() { [ -n "$(echo 'SELECT DISTINCT statement_id FROM PLAN_TABLE;' | sql)" ]; }
await 20 ids || fail "the analysis left no rows in PLAN_TABLE"
id=$(echo 'SELECT DISTINCT statement_id FROM PLAN_TABLE;' | sql)
sql > "$work/plan.txt" << EOF
SELECT DECODE(id,0,'',LPAD(' ',2*(LEVEL-1))||level||'.'||position)||' '||operation||' '||options||' '||object_name||' '||object_type||' '||DECODE(id,0,'Cost='||position) QUERY_PLAN FROM PLAN_TABLE START WITH id=0 AND statement_id ='$id' CONNECT BY PRIOR id=parent_id AND statement_id='$id';
EOF
grep -q 'TABLE ACCESS FULL EMP' "$work/plan.txt" || fail "unexpected plan: $(cat "$work/plan.txt")"
sed 's/$/\r/' "$work/plan.txt" > "$work/expected.txt"

xdotool key alt+e Up Up Return # 実行計画・ｺﾋﾟｰ(&P), second from the bottom
clipboard() {
    xclip -o -selection clipboard -target UTF8_STRING > "$work/clipboard.txt" 2> /dev/null &&
        cmp -s "$work/clipboard.txt" "$work/expected.txt"
}
await 20 clipboard || fail "the clipboard does not hold the plan:
$(od -c "$work/clipboard.txt" | head -8)
expected:
$(od -c "$work/expected.txt" | head -8)"

# ---- Exit: the table was created here, so the program asks; No keeps the
# table and deletes this workstation's rows.

focus "$main"
xdotool key alt+l x # 終了(&X)
await 20 window '^PLAN_TABLE' DIALOG > /dev/null || fail "no question about PLAN_TABLE at exit"
focus "$(window '^PLAN_TABLE' DIALOG)"
xdotool key Escape # No
await 20 sh -c "! kill -0 $quorvel_pid 2> /dev/null" || fail "the program did not end"
wait "$quorvel_pid"
status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"

[ "$(echo 'SELECT COUNT(*) FROM PLAN_TABLE;' | sql)" = 0 ] ||
    fail "rows left in PLAN_TABLE: $(echo 'SELECT * FROM PLAN_TABLE;' | sql)"
[ "$(echo 'SELECT COUNT(*) FROM emp;' | sql)" = 3 ] || fail "the table emp changed"
echo "PASS: logon, PLAN_TABLE, analysis, copy, centring and exit on $DISPLAY"
