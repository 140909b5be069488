#!/usr/bin/env bash
# The game started on the start track draws the world: a frame recorded
# with --record-video (rows bottom first) shows sky in its upper part and
# ground in its lower part, not the title picture or a cleared screen.
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
# A small window keeps the recording small.
mkdir -p "$home/kestrum"
printf 'video_mode=Windowed\n' >"$home/kestrum/config"
"$game" --nosound --width 320 --height 240 --lock-fps 32 --record-video 2>"$home/stderr" >"$home/video" &
pid=$!
# Frames are written as fast as they are drawn; a few seconds' worth is
# plenty, and the file is cut to the frames that are complete.
sleep 6
kill -TERM $pid
wait $pid
header=$(head -c 32 "$home/video" | head -n 2 | tail -n 1)
w=${header% *}
h=${header#* }
hdr_len=$(head -n 3 "$home/video" | wc -c)
frame=$((hdr_len + w * h * 3))
size=$(stat -c %s "$home/video")
count=$((size / frame))
fail=0
[ "$count" -ge 2 ] || { echo "FAIL: only $count frames ($w x $h)"; cat "$home/stderr"; exit 1; }
start=$(((count - 1) * frame + hdr_len))
# Mean colour of a row band (fraction of the height from the bottom).
band() {
    local row=$(($1 * h / 100))
    dd if="$home/video" bs=1 skip=$((start + row * w * 3)) count=$((w * 3)) 2>/dev/null |
        od -An -tu1 -v | tr -s ' ' '\n' | grep -v '^$' |
        awk '{ c[NR % 3] += $1 } END { n = NR / 3; printf "%d %d %d\n", c[1] / n, c[2] / n, c[0] / n }'
}
read -r sr sg sb <<<"$(band 90)"
read -r gr gg gb <<<"$(band 15)"
echo "frame $((count - 1)) of $count, $w x $h: sky $sr $sg $sb, ground $gr $gg $gb"
# Sky: blue above red. Ground: no bluer than it is red, and unlike the sky.
[ "$sb" -gt "$sr" ] || { echo "FAIL: no sky in the upper part"; fail=1; }
[ "$gr" -ge "$gb" ] || { echo "FAIL: no ground in the lower part"; fail=1; }
[ $((sb - gb)) -gt 20 ] || { echo "FAIL: upper and lower parts alike"; fail=1; }
exit $fail
