#!/usr/bin/env bash
# The headless race runner: a short race on a shipped track prints its
# figures, as text or as one JSON object; bad options print the usage and
# exit 2; a track or bike that does not exist exits 1.
set -u
build=$1
fail=0
out=$("$build/kestrum-sim" --track oakbasin --riders 3 --seconds 2 2>&1)
status=$?
[ $status = 0 ] || { echo "FAIL: status $status: $out"; fail=1; }
grep -q "ticks 256 in" <<<"$out" || { echo "FAIL: no tick figures: $out"; fail=1; }
grep -q "^ 3\. gate" <<<"$out" || { echo "FAIL: no standings: $out"; fail=1; }
grep -q "^roost [0-9]* particles" <<<"$out" || { echo "FAIL: no roost figures: $out"; fail=1; }
trace=$("$build/kestrum-sim" --riders 2 --seconds 2 --trace-slot 1 2>&1)
grep -q "^t   2.0 slot 1 at" <<<"$trace" || { echo "FAIL: no trace of slot 1: $trace"; fail=1; }

json=$("$build/kestrum-sim" --riders 2 --seconds 2 --seed 7 --bike "crf250(2009)" --json 2>&1)
[ $? = 0 ] || { echo "FAIL: --json run: $json"; fail=1; }
for key in '"track": "oakbasin"' '"sim_seconds": 2.0000' '"wall_seconds"' '"realtime_factor"' '"us_per_tick"' \
           '"peak_rss_kb"' '"riders": \[' '"slot": 0' '"slot": 1' '"best_lap_s": null' '"gates_missed": 0' \
           '"crashes": 0' '"finished": false' '"bike": "crf250(2009)"' '"cpu_seconds"' '"mean_crash_s"' \
           '"roost_per_s"'; do
  grep -q "$key" <<<"$json" || { echo "FAIL: JSON lacks $key: $json"; fail=1; }
done
[ "$(head -c1 <<<"$json")" = "{" ] || { echo "FAIL: JSON output has other text first: $json"; fail=1; }

for bad in "--riders 99" "--riders 0" "--laps x" "--driver walk" "--skill master" "--bogus" "--laps 0" "--trace-slot 40"; do
  # shellcheck disable=SC2086
  "$build/kestrum-sim" $bad >/dev/null 2>&1
  [ $? = 2 ] || { echo "FAIL: '$bad' accepted"; fail=1; }
done
"$build/kestrum-sim" --track nosuch --seconds 1 >/dev/null 2>&1
[ $? = 1 ] || { echo "FAIL: unknown track accepted"; fail=1; }
"$build/kestrum-sim" --bike nosuchbike --seconds 1 >/dev/null 2>&1
[ $? = 1 ] || { echo "FAIL: unknown bike accepted"; fail=1; }
exit $fail
