#!/usr/bin/env bash
# Two processes running the same headless race end with bit-identical body
# states (the first session of a run always has the same seed).
set -u
build=$1
a=$("$build/kestrum-sim" --follow --riders 2 --seconds 80 --laps 5 | grep '^state hash')
b=$("$build/kestrum-sim" --follow --riders 2 --seconds 80 --laps 5 | grep '^state hash')
echo "$a / $b"
[ -n "$a" ] && [ "$a" = "$b" ]
