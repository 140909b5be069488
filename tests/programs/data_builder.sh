#!/usr/bin/env bash
# The data builder makes the same bytes on every run, reports the release
# marker's digest, and a rerun over its own output changes nothing.
set -euo pipefail
build="$1"
tool="$build/kestrum-data"
work="$build/test-scratch/program-data-builder"
rm -rf "$work"
mkdir -p "$work"
"$tool" "$work/one" >"$work/one.log"
"$tool" "$work/two" >"$work/two.log"
diff -r "$work/one" "$work/two"
grep -q "^kestrum-data: zzzz.saf ripemd160 [0-9a-f]\{40\}$" "$work/one.log"
"$tool" "$work/one" >"$work/again.log"
grep -q "(0 written" "$work/again.log" || { cat "$work/again.log"; exit 1; }
diff -r "$work/one" "$work/two"
# Bad arguments get a usage line, not a crash.
if "$tool" 2>"$work/usage.log"; then exit 1; fi
grep -q "^usage: kestrum-data OUTDIR" "$work/usage.log"
echo "data builder is deterministic"
