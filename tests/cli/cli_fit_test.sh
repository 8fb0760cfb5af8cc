#!/usr/bin/env bash
# flickbook-cli's size options: --bounce, --max-edge, --max-size and --estimate,
# on the shared clip and photographs.
set -u
cli=$1
data=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/harness.sh"

book="$data/media/book.mkv" # 3.7 s, 640x480: 15 frames at 1x
photos="$data/photos"
size() { stat -c %s "$1"; }
frames() { "$cli" info "$1" | sed -n 's/^frames: *//p'; }

# Bounce: 2n - 2 frames with the same delay.
check "video --bounce: 15 frames become 28 of 20 cs" sh -c "'$cli' video '$book' --bounce -o '$tmp/bounce.gif' >/dev/null && '$cli' info '$tmp/bounce.gif' --json | grep -q '\"frames\":\[{\"delay_cs\":20}\(,{\"delay_cs\":20}\)\{27\}\]'"
bounces() { # expected frames, then pictures
    local expected=$1; shift
    "$cli" images "$@" --frame-time 0.5s --bounce -o "$tmp/bounce$#.gif" >/dev/null &&
        test "$(frames "$tmp/bounce$#.gif")" = "$expected"
}
check "images --bounce: 3 pictures become 4 frames" bounces 4 "$photos/Dune.jpg" "$photos/Storm.jpg" "$photos/Aqua.jpg"
check "images --bounce: one picture stays one frame" bounces 1 "$photos/Dune.jpg"

# The long edge.
check "video --max-edge 320: 320x240" sh -c "'$cli' video '$book' --max-edge 320 -o '$tmp/edge.gif' >/dev/null && '$cli' info '$tmp/edge.gif' | grep -q '^canvas: *320 x 240$'"
check "images --max-edge 800: 800x500" sh -c "'$cli' images '$photos/Dune.jpg' --max-edge 800 -o '$tmp/edge-photo.gif' >/dev/null && '$cli' info '$tmp/edge-photo.gif' | grep -q '^canvas: *800 x 500$'"
check "--max-edge never enlarges" sh -c "'$cli' video '$book' --max-edge 4000 -o '$tmp/big.gif' >/dev/null && '$cli' info '$tmp/big.gif' | grep -q '^canvas: *640 x 480$'"
for bad in 0 15 abc 12.5 -3 70000; do
    check "--max-edge $bad fails" fails "$cli" video "$book" --max-edge "$bad" -o "$tmp/bad.gif"
done
check "--max-edge names its range" grep -q 'from 16 to 65535' "$tmp/err"

# Sizes.
for bad in 10 ten 10XB 1.2.3MB 0MB MB; do
    check "--max-size $bad fails" fails "$cli" video "$book" --max-size "$bad" -o "$tmp/bad.gif"
done
check "--max-size without a unit says so" sh -c "'$cli' images '$photos/Dune.jpg' --max-size 10 -o '$tmp/bad.gif' 2>&1 | grep -q 'has no unit; write it like 10MB, 800KB or 2.5MB'"
check "--max-size without a value fails" fails "$cli" video "$book" --max-size
check "nothing left from refused options" test ! -e "$tmp/bad.gif" -a -z "$(ls -A "$tmp" | grep part)"

# The estimate, without rendering.
check "--estimate prints the size, canvas and frames" sh -c "'$cli' video '$book' --estimate > '$tmp/estimate' && grep -Eq '^about [0-9.]+ KB, 640×480, 15 frames$' '$tmp/estimate'"
check "--estimate makes nothing" sh -c "'$cli' video '$book' --estimate -o '$tmp/none.gif' >/dev/null && test ! -e '$tmp/none.gif' && test -z \"\$(ls -A '$tmp/data/Flickbook/Documents/MyWork' 2>/dev/null)\""
check "--estimate of a bounce counts its frames" sh -c "'$cli' images '$photos/Dune.jpg' '$photos/Storm.jpg' '$photos/Aqua.jpg' --bounce --estimate | grep -Eq ', 1680×1050, 4 frames$'"

# Budgets.
fits() { # budget in bytes, expected frames, the GIF, then the command's arguments
    local budget=$1 expected=$2 gif=$3; shift 3
    "$cli" "$@" -o "$gif" >/dev/null || return 1
    local s
    s=$(size "$gif")
    test "$s" -le "$budget" -a "$s" -ge $((budget * 85 / 100)) && test "$(frames "$gif")" = "$expected"
}
check "video --max-size 300KB: under it, at least 85% of it, frames as asked" fits 300000 15 "$tmp/fit.gif" video "$book" --max-size 300KB
check "images --max-size 0.5MB: under it, at least 85% of it" fits 500000 2 "$tmp/fit-photos.gif" images "$photos/Dune.jpg" "$photos/Storm.jpg" --max-size 0.5MB
check "a budget the GIF fits changes nothing" sh -c "'$cli' video '$book' --max-size 10MB -o '$tmp/roomy.gif' >/dev/null && cmp -s '$tmp/roomy.gif' '$tmp/big.gif'"
# The first photograph is larger than the canvas, so it is read at the largest
# size to plan the GIF and kept for it.
check "a budget photographs fit changes nothing" sh -c "'$cli' images '$photos/Aqua.jpg' '$photos/Storm.jpg' '$photos/Dune.jpg' -o '$tmp/photos.gif' >/dev/null && '$cli' images '$photos/Aqua.jpg' '$photos/Storm.jpg' '$photos/Dune.jpg' --max-size 10MB -o '$tmp/roomy-photos.gif' >/dev/null && cmp -s '$tmp/roomy-photos.gif' '$tmp/photos.gif'"
check "a budget too small fails before rendering" fails "$cli" video "$book" --max-size 5KB -o "$tmp/tiny.gif"
check "and names the smallest budget that fits" grep -Eq 'the smallest budget it fits is [0-9.]+ KB\.$' "$tmp/err"
check "nothing left from a budget too small" test ! -e "$tmp/tiny.gif" -a -z "$(ls -A "$tmp" | grep part)"

summary
