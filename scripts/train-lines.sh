#!/bin/bash
# Trains the racing lines of every shipped track and skill with kestrum-sim
# and writes them to data/<track>/lines_<skill>, where the data builder
# picks them up. Takes some minutes of simulation; run it after changing a
# track's course, its timing gates or the riding physics, then commit data/.
#
#   scripts/train-lines.sh [BUILD]    (BUILD: a build folder, default build)
#
# For each track and skill:
#  1. course followers ride clean laps at the skill's pace; riders without
#     a personality are sampled, so their laps become candidate lines;
#  2. robots with the "tester" personality ride the least tried lines, so
#     every line collects tests and failures and the lap plans fill;
#  3. robots with their own personalities race on the plans.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
sim=$build/kestrum-sim
[ -x "$sim" ] || { echo "train-lines: no $sim; build first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work

tracks="oakbasin ironworks saltmarsh"
skills="novice amateur expert"
declare -A pace=([novice]=32 [amateur]=38 [expert]=44)

for track in $tracks; do
    for skill in $skills; do
        echo "== $track, $skill (pace ${pace[$skill]} ft/s)"
        seed=1
        for run in 1 2; do
            "$sim" --track "$track" --skill "$skill" --learn --riders 20 --laps 3 --pace "${pace[$skill]}" \
                --seed $((seed++)) | grep -c finished | sed 's/^/  followers finished: /'
        done
        for run in 1 2 3; do
            "$sim" --track "$track" --skill "$skill" --learn --driver robot --practice --riders 20 --laps 2 \
                --seed $((seed++)) | grep -c finished | sed 's/^/  testers finished: /'
        done
        "$sim" --track "$track" --skill "$skill" --learn --driver robot --riders 20 --laps 2 \
            --seed $((seed++)) | grep -c finished | sed 's/^/  robots finished: /'
        mkdir -p "$root/data/$track"
        cp "$work/kestrum/$track/lines_$skill" "$root/data/$track/lines_$skill"
    done
done
echo "train-lines: lines written to $root/data"
