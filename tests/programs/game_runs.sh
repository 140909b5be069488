#!/usr/bin/env bash
# Starts the game from its build folder on the display of the test run,
# lets it draw for a moment and ends it as a desktop would; the normal
# shutdown must run: log in the user folder, configuration written.
set -u
build=$1
game=$build/game/kestrum
if [ -z "${DISPLAY:-}" ]; then
    echo "no display; skipped"
    exit 0
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME=$home KESTRUM_MESSAGE_BOX=stderr
"$game" --nosound --width 320 --height 240 >/dev/null 2>"$home/stderr" &
pid=$!
sleep 3
kill -TERM $pid
wait $pid
status=$?
fail=0
[ "$status" = 0 ] || { echo "FAIL: status $status"; cat "$home/stderr"; fail=1; }
log=$home/kestrum/lastlog.txt
grep -q "Can't find game data" "$home/stderr" && { echo "FAIL: data not found"; fail=1; }
[ -f "$log" ] || { echo "FAIL: no lastlog.txt"; fail=1; }
grep -qE '^\[0:00:0[0-9]\.[0-9]{2}\] GL_VENDOR: ' "$log" || { echo "FAIL: log lines lack the prefix or GL lines"; cat "$log"; fail=1; }
grep -q '^xres=320$' "$home/kestrum/config" || { echo "FAIL: config not written with the --width value"; fail=1; }
grep -q '^throttle_key=(k)x$' "$home/kestrum/config" || { echo "FAIL: bindings not saved"; fail=1; }
exit $fail
