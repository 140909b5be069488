#!/bin/bash
# Trains the racing lines of every shipped track and skill with kestrum-sim
# and writes them to data/<track>/lines_<skill>, where the data builder
# picks them up. Takes some minutes of simulation; run it after changing a
# track's course, its timing gates or the riding physics, then commit data/.
#
#   scripts/train-lines.sh [BUILD]    (BUILD: a build folder, default build)
#
# Training goes on from the lines in data/ (a track whose gates changed
# starts from none): each run adds tests to them, evicts the ones that fail
# and brings in new candidates. For each track and skill:
#  1. course followers ride clean laps at the skill's pace; riders without
#     a personality are sampled, so their laps become candidate lines;
#  2. robots with the "tester" personality ride the least tried lines, so
#     every line collects tests and failures and the lap plans fill;
#  3. robots with their own personalities race on the plans.
# Tracks and skills train side by side, one per processor.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
sim=$build/kestrum-sim
for tool in "$sim" "$build/kestrum-data"; do
    [ -x "$tool" ] || { echo "train-lines: no $tool; build first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/kestrum-data" "$work/data" "$root/data" > "$work/data.log" 2>&1 ||
    { cat "$work/data.log" >&2; echo "train-lines: making the data set failed" >&2; exit 1; }

tracks="oakbasin ironworks saltmarsh"
skills="novice amateur expert"
declare -A pace=([novice]=32 [amateur]=38 [expert]=44)

# One training race of a track and skill; prints how many riders finished.
race() {
    local what=$1 out=$work/$track-$skill.race
    shift
    "$sim" --data "$work/data" --track "$track" --skill "$skill" --learn "$@" > "$out"
    echo "  $what finished: $(grep -c " finished  " "$out" || true)"
}

train_pair() {
    local track=$1 skill=$2 run seed=0
    export XDG_DATA_HOME=$work/user-$track-$skill
    {
        echo "== $track, $skill (pace ${pace[$skill]} ft/s)"
        for run in 1 2; do
            race followers --riders 20 --laps 3 --pace "${pace[$skill]}" --seed $((++seed))
        done
        for run in 1 2 3 4; do
            race testers --driver robot --practice --riders 20 --laps 2 --seed $((++seed))
        done
        race robots --driver robot --riders 20 --laps 2 --seed $((++seed))
    } > "$work/$track-$skill.log" 2>&1
}

jobs=$(nproc 2> /dev/null || echo 1)
pids=()
for track in $tracks; do
    for skill in $skills; do
        while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
            wait -n || true
        done
        train_pair "$track" "$skill" &
        pids+=($!)
    done
done
failed=0
for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
done
for track in $tracks; do
    for skill in $skills; do
        cat "$work/$track-$skill.log"
    done
done
[ "$failed" = 0 ] || { echo "train-lines: a training race failed" >&2; exit 1; }

for track in $tracks; do
    mkdir -p "$root/data/$track"
    for skill in $skills; do
        cp "$work/user-$track-$skill/kestrum/$track/lines_$skill" "$root/data/$track/lines_$skill"
    done
done
echo "train-lines: lines written to $root/data"
