#!/usr/bin/env bash
# flickbook-cli as a user runs it: output, files written, exit statuses.
set -u
cli=$1
data=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/harness.sh"

suite="$data/gif-suite/gifs"
json=$("$cli" info "$suite/animated_loop_variable_delay.gif" --json)
check "info --json" test "$json" = '{"width":100,"height":100,"loop_count":0,"frames":[{"delay_cs":100},{"delay_cs":100},{"delay_cs":10},{"delay_cs":100}],"step_cs":10,"list_length":31,"duration_s":3.1}'
check "info text" sh -c "'$cli' info '$suite/animated_noloop.gif' | grep -q 'loop count:  none'"
check "info shows seconds with two decimals" sh -c "'$cli' info '$suite/animated_loop_variable_delay.gif' | grep -q 'duration:    3.10 s'"

# 30,000 one-pixel frames of 65535 cs and one of 1 cs: a list of 1,966,050,001
# entries of 1 cs, described in a quarter of a gigabyte of address space.
perl -e 'print "GIF89a", pack("vvCCC", 1, 1, 0x80, 0, 0), "\0\0\0\xff\xff\xff";
         for $d ((65535) x 30000, 1) {
             print "\x21\xf9\x04\0", pack("v", $d), "\0\0", "\x2c\0\0\0\0\x01\0\x01\0\0", "\x02\x02\x44\x01\0" }
         print "\x3b"' > "$tmp/bomb.gif"
# Under the sanitizers their shadow memory alone takes terabytes of address
# space: there the commands run without caps, and only what they print is
# checked.
runs() { # KiB, command…
    local kib=$1
    shift
    if [ -n "${FLICKBOOK_SANITIZED:-}" ]; then timeout 60 "$@"; else (ulimit -v "$kib"; timeout 60 "$@"); fi
}
runs 262144 "$cli" info "$tmp/bomb.gif" --json > "$tmp/bomb.json"
check "info of a timing bomb in bounded memory" grep -q '\],"step_cs":1,"list_length":1966050001,"duration_s":19660500.01}$' "$tmp/bomb.json"

check "frames writes one PNG per frame" "$cli" frames "$suite/animated_loop.gif" "$tmp/frames"
check "frame files named in order" test "$(ls "$tmp/frames" | tr '\n' ' ')" = "frame_0000.png frame_0001.png frame_0002.png frame_0003.png "
check "frames are full-canvas RGBA" sh -c "file '$tmp/frames/frame_0003.png' | grep -q '100 x 100, 8-bit/color RGBA'"

check "list of a work folder never made is empty" test -z "$("$cli" list)"
work="$XDG_DATA_HOME/Flickbook/Documents/MyWork"
mkdir -p "$work"
cp "$suite/static_transparent.gif" "$work/Animation_1700000000.gif"
cp "$suite/animated_loop.gif" "$work/Animation_1800000000.gif"
touch "$work/.hidden.gif" "$work/notes.txt"
check "list newest first" test "$("$cli" list | tr '\n' ' ')" = "Animation_1800000000.gif Animation_1700000000.gif "
check "list --json" sh -c "'$cli' list --json | grep -q '^\[{\"name\":\"Animation_1800000000.gif\",\"path\":\"$work/Animation_1800000000.gif\"}'"
check "delete" "$cli" delete Animation_1800000000.gif
check "deleted file gone" test ! -e "$work/Animation_1800000000.gif"

check "delete of an unknown name fails" fails "$cli" delete Animation_1.gif
check "delete never leaves the work folder" fails "$cli" delete ../../../../etc/passwd
check "info on a missing file fails" fails "$cli" info "$tmp/missing.gif"
printf 'not a gif' > "$tmp/bad.gif"
check "info on a non-GIF fails" fails "$cli" info "$tmp/bad.gif"
check "unknown command fails" fails "$cli" frobnicate
head -c 800 "$suite/animated_loop.gif" > "$tmp/cut.gif"
check "truncated GIF gives the completed frames with a warning" sh -c "'$cli' info '$tmp/cut.gif' 2>'$tmp/warn' | grep -q 'frames:      [1-3]$' && grep -q warning '$tmp/warn'"

photos="$data/photos"
check "images into the work list" sh -c "'$cli' images '$photos/Dune.jpg' '$photos/Storm.jpg' '$photos/Aqua.jpg' --frame-time 0.5s > '$tmp/made'"
made=$(cat "$tmp/made")
check "images named by the store" sh -c "echo '$made' | grep -Eq '/MyWork/Animation_[0-9]+\.gif$'"
check "images: three frames of 50 cs at 1680x1050" sh -c "'$cli' info '$made' --json | grep -q '\"width\":1680,\"height\":1050,\"loop_count\":0,\"frames\":\[{\"delay_cs\":50},{\"delay_cs\":50},{\"delay_cs\":50}\]'"
check "images with -o" "$cli" images "$photos/Garden.jpg" --frame-time 1.75 -o "$tmp/one.gif"
check "-o never overwrites" fails "$cli" images "$photos/Dune.jpg" -o "$tmp/one.gif"
check "the existing file is untouched" sh -c "'$cli' info '$tmp/one.gif' | grep -q 'delays (cs): 175$'"
check "a frame time off the list fails" fails "$cli" images "$photos/Dune.jpg" --frame-time 0.25 -o "$tmp/x.gif"
check "a missing picture fails" fails "$cli" images "$photos/Dune.jpg" "$tmp/missing.jpg" -o "$tmp/x.gif"
check "nothing left from a failed render" test ! -e "$tmp/x.gif" -a -z "$(ls -A "$tmp" | grep part)"


# Short of memory at every stage, a command ends with an error line and
# status 1, never a signal. The address space the command needs merely to
# start (its shared libraries) is found first, so that the caps below fall
# inside Flickbook's own work whatever the machine.
low=0 high=4194304
[ -n "${FLICKBOOK_SANITIZED:-}" ] && low=$((high - 1))
while [ $((high - low)) -gt 1024 ]; do
    mid=$(((low + high) / 2))
    if runs $mid "$cli" list >/dev/null 2>&1; then high=$mid; else low=$mid; fi
done
cleanFailures=0
badEnds=""
for extra in 0 2048 4096 8192 16384 32768 65536; do
    rm -rf "$tmp/capped"
    runs $((high + extra)) "$cli" frames "$made" "$tmp/capped" >/dev/null 2>"$tmp/capped.err"
    status=$?
    if [ $status -eq 1 ] && tail -n 1 "$tmp/capped.err" | grep -q '^flickbook-cli: error: '; then
        cleanFailures=$((cleanFailures + 1))
    elif [ $status -ne 0 ]; then
        badEnds="$badEnds +${extra}KiB:$status"
    fi
done
if [ -z "${FLICKBOOK_SANITIZED:-}" ]; then
    check "short of memory, frames ends with an error line and status 1 ($badEnds)" test -z "$badEnds" -a $cleanFailures -gt 0
fi

# Frames of 1000×1000 (4 MB each once drawn) in a file of a few kilobytes:
# info reads only the blocks and frames writes each frame as it is drawn, so
# both fit in 128 MiB more than the command needs to start, whatever the count.
largeFrames() { # count
    perl -e 'print "GIF89a", pack("vvCCC", 1000, 1000, 0x80, 0, 0), "\0\0\0\xff\xff\xff";
             for (1..$ARGV[0]) {
                 print "\x21\xf9\x04\0", pack("v", 10), "\0\0", "\x2c\0\0\0\0\x01\0\x01\0\0", "\x02\x02\x44\x01\0" }
             print "\x3b"' "$1"
}
largeFrames 250 > "$tmp/large250.gif"
largeFrames 80 > "$tmp/large80.gif"
runs $((high + 131072)) "$cli" info "$tmp/large250.gif" --json > "$tmp/large.json"
check "info of 250 large frames in bounded memory" grep -q '}\],"step_cs":10,"list_length":250,"duration_s":25}$' "$tmp/large.json"
check "frames of 80 large frames in bounded memory" runs $((high + 131072)) "$cli" frames "$tmp/large80.gif" "$tmp/large"
check "every frame written" test -e "$tmp/large/frame_0079.png" -a ! -e "$tmp/large/frame_0080.png"

book="$data/media/book.mkv" # 3.7 s
check "video at 1x: 5 frames a second of whole seconds" sh -c "'$cli' video '$book' -o '$tmp/book.gif' >/dev/null && '$cli' info '$tmp/book.gif' --json | grep -q '\"width\":640,\"height\":480,\"loop_count\":0,\"frames\":\[{\"delay_cs\":20}\(,{\"delay_cs\":20}\)\{14\}\]'"
check "video at 0.5x: 7 a second, 30 cs" sh -c "'$cli' video '$book' --speed 0.5x -o '$tmp/slow.gif' >/dev/null && '$cli' info '$tmp/slow.gif' | grep -q '^frames:      21$'"
check "an unknown speed fails" fails "$cli" video "$book" --speed 3x -o "$tmp/y.gif"
check "a non-video fails" fails "$cli" video "$tmp/bad.gif" -o "$tmp/y.gif"
check "nothing left from a failed video" test ! -e "$tmp/y.gif"

car="$data/media/car-detection.mp4"
check "cut names its file after the source" sh -c "cd '$tmp' && test \"\$('$cli' cut '$car' --start 1 --end 3.5)\" = '$tmp/car-detection-cut.mp4'"
check "cut lasts end - start" test "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$tmp/car-detection-cut.mp4")" = "2.500000"
check "cut never overwrites" sh -c "cd '$tmp' && ! '$cli' cut '$car' --start 0 --end 2 2>/dev/null"
check "cut with the start after the end fails" fails "$cli" cut "$car" --start 3 --end 2 -o "$tmp/z.mp4"
check "cut past the end fails" fails "$cli" cut "$car" --start 1 --end 600 -o "$tmp/z.mp4"
check "cut needs both ends" fails "$cli" cut "$car" --start 1 -o "$tmp/z.mp4"
check "nothing left from a failed cut" test ! -e "$tmp/z.mp4" -a -z "$(ls -A "$tmp" | grep part)"
check "video of a stretch: 2.5 s at 1x is 10 frames" sh -c "'$cli' video '$car' --start 1 --end 3.5 -o '$tmp/stretch.gif' >/dev/null && '$cli' info '$tmp/stretch.gif' | grep -q '^frames:      10$'"
check "the stretch's cut is not kept" test -z "$(ls -A "$tmp/data/Flickbook/tmp" 2>/dev/null)"

summary
