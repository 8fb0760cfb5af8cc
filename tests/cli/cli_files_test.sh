#!/usr/bin/env bash
# flickbook-cli and the files around it: names taken while rendering,
# "--", folders that already hold frames, names that are not UTF-8, and
# messages that give the real cause.
set -u
cli=$1
data=$2
tmp=$(mktemp -d)
trap 'umount "$tmp/full" 2>/dev/null; chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
. "$(dirname "$0")/harness.sh"
photo="$data/photos/Dune.jpg"
work="$XDG_DATA_HOME/Flickbook/Documents/MyWork"

# Three renders finishing in the same second all keep their GIF.
for i in 1 2 3; do "$cli" images "$photo" >"$tmp/made$i" 2>"$tmp/said$i" & done
wait
check "three renders at once make three GIFs" test "$(ls "$work" | grep -c '^Animation_[0-9]*\.gif$')" = 3
check "each prints its own path" test "$(cat "$tmp"/made? | sort -u | wc -l)" = 3
mkdir -p "$work"
# A minute of names taken: under a sanitizer on a busy machine the render
# takes several seconds, and its name is the second it ends in.
now=$(date +%s)
cp "$photo" "$work/Animation_$now.gif"
for s in $(seq 1 59); do ln "$work/Animation_$now.gif" "$work/Animation_$((now + s)).gif"; done
check "a taken name moves the GIF to the next free second" sh -c "'$cli' images '$photo' >'$tmp/next' 2>'$tmp/said'"
check "and says so" grep -q "^flickbook-cli: warning: Animation_[0-9]*\.gif is taken; the GIF is Animation_[0-9]*\.gif" "$tmp/said"
for s in $(seq 0 59); do rm -f "$work/Animation_$((now + s)).gif"; done
check "nothing is left in the private folder" test -z "$(ls -A "$XDG_DATA_HOME/Flickbook/tmp")"

cp "$photo" "$tmp/-x.jpg"
check "-- ends the options" sh -c "cd '$tmp' && '$cli' images -o dash.gif -- -x.jpg >/dev/null"
check "without it, -x.jpg is an unknown option" fails sh -c "cd '$tmp' && '$cli' images -x.jpg -o dash2.gif"

gif="$data/gif-suite/gifs/animated_loop.gif" # 4 frames
mkdir -p "$tmp/frames"
for i in 0 1 2 3 4 5 6 7; do touch "$tmp/frames/frame_000$i.png"; done
check "frames refuses a folder that holds frames" fails "$cli" frames "$gif" "$tmp/frames"
check "saying why" grep -q 'already holds frames' "$tmp/err"
check "and leaves them" test "$(ls "$tmp/frames" | wc -l)" = 8
check "frames --force replaces them" sh -c "'$cli' frames '$gif' '$tmp/frames' --force >/dev/null"
check "leaving none of the earlier frames" test "$(ls "$tmp/frames" | tr '\n' ' ')" = "frame_0000.png frame_0001.png frame_0002.png frame_0003.png "

odd=$(printf 'Animation_caf\xe9.gif')
cp "$photo" "$work/$odd"
check "list --json is valid JSON with a name that is not UTF-8" sh -c "'$cli' list --json | python3 -c 'import json,sys; json.load(sys.stdin)'"
cat >"$tmp/names.py" <<'PY'
import json, os, sys
names = [os.fsencode(g["name"]) for g in json.load(sys.stdin)]
sys.exit(0 if b"Animation_caf\xe9.gif" in names else 1)
PY
check "and the name's bytes come back" sh -c "'$cli' list --json | python3 '$tmp/names.py'"
check "a valid UTF-8 name is kept as it is" sh -c "cp '$photo' '$work/Animation_café.gif' && '$cli' list --json | grep -q 'Animation_café.gif'"

mkdir -p "$tmp/folder.jpg"
check "a folder given as a picture" fails "$cli" images "$tmp/folder.jpg" -o "$tmp/f.gif"
check "is called a folder" grep -q 'is a folder' "$tmp/err"
check "a folder given as -o" fails "$cli" images "$photo" -o "$tmp/folder.jpg"
check "is called a folder too" grep -q 'is a folder' "$tmp/err"
if [ "$(id -u)" = 0 ] && command -v runuser >/dev/null; then
    # Root may write anywhere; an ordinary user may not.
    mkdir -p "$tmp/locked" && cp "$photo" "$tmp/locked/" && chmod 755 "$tmp" && chmod 555 "$tmp/locked"
    runuser -u nobody -- "$cli" images "$tmp/locked/Dune.jpg" -o "$tmp/locked/o.gif" 2>"$tmp/err"
    check "a read-only folder says permission denied" grep -q 'Permission denied' "$tmp/err"
fi

# A full disk is called one, and leaves nothing (where a small file system
# can be mounted, as root).
mkdir -p "$tmp/full"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=256k tmpfs "$tmp/full" 2>/dev/null; then
    ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=640x360:r=25:d=4 -c:v libx264 -preset ultrafast -g 25 "$tmp/big.mp4"
    check "a cut onto a full disk" fails "$cli" cut "$tmp/big.mp4" --start 0.5 --end 3.5 -o "$tmp/full/c.mp4"
    check "says no space is left" grep -q 'No space left on device' "$tmp/err"
    "$cli" images "$photo" -o "$tmp/full/d.gif" 2>"$tmp/err"
    check "a GIF onto a full disk says so too" grep -q 'No space left on device' "$tmp/err"
    check "neither leaves a file" test -z "$(ls -A "$tmp/full")"
    umount "$tmp/full"
fi

# Interrupted renders leave nothing behind. A 30 s 720p video takes a few
# seconds to render: long enough to be interrupted midway.
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=1280x720:r=25:d=30 -c:v libx264 -preset ultrafast "$tmp/long.mp4"
private="$XDG_DATA_HOME/Flickbook/tmp"
# Waits until a file matching the pattern appears (the render is under way).
appears() { # folder, pattern
    for _ in $(seq 200); do
        ls -A "$1" 2>/dev/null | grep -q "$2" && return 0
        sleep 0.05
    done
    return 1
}
interrupted() { # signal, folder the render writes in, then the command's arguments
    local signal=$1 folder=$2; shift 2
    "$cli" "$@" >/dev/null 2>&1 &
    local pid=$!
    appears "$folder" '\.gif\..*\.part$' || return 1
    kill -"$signal" $pid
    wait $pid
    echo $?
}
mkdir -p "$tmp/out"
for signal in INT TERM HUP; do
    status=$(interrupted $signal "$tmp/out" video "$tmp/long.mp4" -o "$tmp/out/long.gif")
    number=$(kill -l $signal)
    check "$signal during a render exits with $((128 + number))" test "$status" = $((128 + number))
    check "$signal leaves no .part beside -o" test -z "$(ls -A "$tmp/out")"
done
status=$(interrupted INT "$private" video "$tmp/long.mp4" --start 1 --end 29)
check "INT during a render of a stretch exits with 130" test "$status" = 130
check "and leaves neither its cut nor its GIF in the private folder" test -z "$(ls -A "$private")"
check "nor anything in the work folder" test -z "$(ls -A "$work" | grep '\.part$')"

# Killed outright, a render leaves its files; the next start removes them.
"$cli" video "$tmp/long.mp4" --start 1 --end 29 >/dev/null 2>&1 &
pid=$!
appears "$private" '\.gif\..*\.part$'
kill -KILL $pid
wait $pid
check "a killed render leaves its files behind" test -n "$(ls -A "$private")$(ls -A "$work" | grep '\.part$')"
"$cli" list >/dev/null 2>&1
check "the next start removes them" test -z "$(ls -A "$private")$(ls -A "$work" | grep '\.part$')"

summary
