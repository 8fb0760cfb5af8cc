#!/usr/bin/env bash
# flickbook-cli as a user runs it: output, files written, exit statuses.
set -u
cli=$1
data=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_DATA_HOME="$tmp/data"
failures=0
check() { # description, then a command that must succeed
    local what=$1; shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

suite="$data/gif-suite/gifs"
json=$("$cli" info "$suite/animated_loop_variable_delay.gif" --json)
check "info --json" test "$json" = '{"width":100,"height":100,"loop_count":0,"frames":[{"delay_cs":100},{"delay_cs":100},{"delay_cs":10},{"delay_cs":100}],"step_cs":10,"list_length":31,"duration_s":3.1}'
check "info text" sh -c "'$cli' info '$suite/animated_noloop.gif' | grep -q 'loop count:  none'"

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

fails() { ! "$@" 2>"$tmp/err" && grep -q '^flickbook-cli: error: ' "$tmp/err"; }
check "delete of an unknown name fails" fails "$cli" delete Animation_1.gif
check "delete never leaves the work folder" fails "$cli" delete ../../../../etc/passwd
check "info on a missing file fails" fails "$cli" info "$tmp/missing.gif"
printf 'not a gif' > "$tmp/bad.gif"
check "info on a non-GIF fails" fails "$cli" info "$tmp/bad.gif"
check "unknown command fails" fails "$cli" frobnicate
head -c 800 "$suite/animated_loop.gif" > "$tmp/cut.gif"
check "truncated GIF gives the completed frames with a warning" sh -c "'$cli' info '$tmp/cut.gif' 2>'$tmp/warn' | grep -q 'frames:      [1-3]$' && grep -q warning '$tmp/warn'"

echo "$((18 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
