#!/usr/bin/env bash
# The game's command line as a user meets it: bad options stop the program
# with their message and status 1 before any window opens.
set -u
build=$1
game=$build/game/kestrum
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME=$home KESTRUM_MESSAGE_BOX=stderr
fail=0

expect() {  # expect STATUS STDERR-TEXT ARGS...
    local want_status=$1 want_err=$2
    shift 2
    local err status
    err=$("$game" "$@" 2>&1 >/dev/null)
    status=$?
    # The display libraries may add lines of their own; ours must be there.
    if [ "$status" != "$want_status" ] || ! grep -qxF -- "$want_err" <<<"$err"; then
        echo "FAIL: kestrum $*: status $status (want $want_status), stderr '$err' (want '$want_err')"
        fail=1
    fi
}

expect 1 "bad option '--bogus'" --bogus
expect 1 "Bad arg for --texture-detail" --texture-detail x
expect 1 "Too many files!" a.rqdemo b.rqdemo

# Without game data the program explains itself and exits 0.
mkdir -p "$home/empty"
cp "$game" "$home/empty/kestrum"
err=$("$home/empty/kestrum" --bogus 2>&1 >/dev/null)
status=$?
case "$err" in
  *"Can't find game data"*) ;;
  *) echo "FAIL: no data: stderr '$err'"; fail=1 ;;
esac
[ "$status" = 0 ] || { echo "FAIL: no data: status $status"; fail=1; }
exit $fail
