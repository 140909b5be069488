#!/usr/bin/env bash
# The headless race runner: a short race on a shipped track prints its
# figures; a bad option prints the usage and exits 2.
set -u
build=$1
out=$("$build/kestrum-sim" --track oakbasin --riders 3 --seconds 2 2>&1)
status=$?
fail=0
[ $status = 0 ] || { echo "FAIL: status $status: $out"; fail=1; }
grep -q "ticks 256 in" <<<"$out" || { echo "FAIL: no tick figures: $out"; fail=1; }
"$build/kestrum-sim" --riders 99 >/dev/null 2>&1
[ $? = 2 ] || { echo "FAIL: --riders 99 accepted"; fail=1; }
"$build/kestrum-sim" --track nosuch --seconds 1 >/dev/null 2>&1
[ $? = 1 ] || { echo "FAIL: unknown track accepted"; fail=1; }
exit $fail
