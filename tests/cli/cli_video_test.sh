#!/usr/bin/env bash
# flickbook-cli with the videos people bring: MPEG-TS, VP8 WebM, files cut
# short, pictures that change size; and what it says about them.
set -u
cli=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/harness.sh"
counter="nullsrc=s=160x120:r=25:d=12,geq=lum='if(lt(X,W/2),mod(N,16)*12+22,floor(N/16)*12+22)':cb=128:cr=128"
clip() { # file, then encoder options
    local out=$1; shift
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "$counter" -f lavfi -i "sine=d=12" "$@" "$out"
}
duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
frames() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }

clip "$tmp/gop12.ts" -c:v libx264 -preset ultrafast -g 12 -keyint_min 12 -sc_threshold 0 -bf 3 -c:a mp2
check "cut of an MPEG-TS from 5 to 8 s" sh -c "'$cli' cut '$tmp/gop12.ts' --start 5 --end 8 -o '$tmp/ts-cut.mp4' >/dev/null"
check "lasts 3.00 s" test "$(duration "$tmp/ts-cut.mp4")" = "3.000000"
check "holds 75 frames" test "$(frames "$tmp/ts-cut.mp4")" = "75"

clip "$tmp/vp8.webm" -c:v libvpx -deadline realtime -cpu-used 8 -b:v 1M -g 50 -c:a libopus
check "cut of a VP8 WebM names a WebM" sh -c "cd '$tmp' && test \"\$('$cli' cut '$tmp/vp8.webm' --start 2.5 --end 5.5)\" = '$tmp/vp8-cut.webm'"
# Frame 62 is on screen from 2.48 s and frame 137 until 5.52 s: 75 frames
# for the 3 s, and one for the partly shown ends.
check "it holds 75 frames, within one" sh -c "frames=\$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 '$tmp/vp8-cut.webm'); test \$frames -ge 74 -a \$frames -le 76"
check "video of a VP8 stretch" sh -c "'$cli' video '$tmp/vp8.webm' --start 2.5 --end 5.5 -o '$tmp/vp8.gif' >/dev/null && '$cli' info '$tmp/vp8.gif' | grep -q '^frames:      15$'"

clip "$tmp/whole.mp4" -c:v libx264 -preset ultrafast -g 25 -movflags +faststart -c:a aac
head -c $(($(stat -c %s "$tmp/whole.mp4") / 2)) "$tmp/whole.mp4" > "$tmp/short.mp4"
check "a video cut short makes a GIF" sh -c "'$cli' video '$tmp/short.mp4' -o '$tmp/short.gif' >/dev/null 2>'$tmp/warn'"
check "with a warning naming the file and where it stops" \
    grep -Eq "^flickbook-cli: warning: $tmp/short.mp4 stops decoding at [0-9]+\.[0-9]{2} s" "$tmp/warn"
check "and no frozen frames after it" sh -c "test \$('$cli' info '$tmp/short.gif' | sed -n 's/^frames: *//p') -lt 55"
check "a stretch of it that decodes cuts without a word" sh -c "'$cli' cut '$tmp/short.mp4' --start 1 --end 3 -o '$tmp/short-cut.mp4' >/dev/null 2>'$tmp/warn' && test ! -s '$tmp/warn'"
check "exactly: 2.00 s" test "$(duration "$tmp/short-cut.mp4")" = "2.000000"
check "and 50 frames" test "$(frames "$tmp/short-cut.mp4")" = "50"
check "a cut reaching past where it stops gives what decodes" sh -c "'$cli' cut '$tmp/short.mp4' --start 1 --end 11 -o '$tmp/short-past.mp4' >/dev/null 2>'$tmp/warn'"
check "with the warning naming the file and where it stops" \
    grep -Eq "^flickbook-cli: warning: $tmp/short.mp4 stops decoding at [0-9]+\.[0-9]{2} s \(the file is cut short or damaged\); the cut ends there$" "$tmp/warn"
stop=$(sed -n 's/.* stops decoding at \([0-9.]*\) s.*/\1/p' "$tmp/warn")
check "lasting from the start to there" awk -v d="$(duration "$tmp/short-past.mp4")" -v s="$stop" 'BEGIN { exit !(s > 2 && (d - (s - 1))^2 < 0.000001) }'
check "video of a stretch reaching past it warns too" sh -c "'$cli' video '$tmp/short.mp4' --start 2 --end 10 -o '$tmp/short-past.gif' >/dev/null 2>'$tmp/warn' && grep -Eq '^flickbook-cli: warning: $tmp/short.mp4 stops decoding at [0-9]+\.[0-9]{2} s .*the GIF ends there$' '$tmp/warn'"
check "a stretch beginning after it is refused" fails "$cli" cut "$tmp/short.mp4" --start 10 --end 11 -o "$tmp/late.mp4"
check "saying where it stops" grep -q "stops decoding at" "$tmp/err"

check "a stretch under a second is refused" fails "$cli" video "$tmp/whole.mp4" --start 1 --end 1.5 -o "$tmp/x.gif"
check "naming the user's file, not a temporary one" sh -c "grep -q '$tmp/whole.mp4' '$tmp/err' && ! grep -q 'tmp/cut-' '$tmp/err'"

summary
