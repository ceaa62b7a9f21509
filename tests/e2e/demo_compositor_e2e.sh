#!/usr/bin/env bash
# The demo on a Wayland compositor (run through scripts/with-compositor): it shows
# its mid-grey canvas over the whole 1024 x 768 output with the picture at the
# centre, and Escape ends it with exit code 0. Judged from grim screenshots.
#   demo_compositor_e2e.sh DEMO
set -euo pipefail
demo=$1
work=$(mktemp -d)
pid=""
cleanup() {
    if [[ -n "$pid" ]]; then
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    if [[ -s "$work/stderr" ]]; then
        echo "the demo's standard error:" >&2
        cat "$work/stderr" >&2
    fi
    exit 1
}
[[ -n "${WAYLAND_DISPLAY:-}" && -z "${DISPLAY:-}" ]] || fail "no Wayland display, or an X display too"

grey="srgb(128,128,128)"
shot="$work/screen.png"
shoot() { grim "$shot"; }
pixel() { convert "$shot" -format "%[pixel:p{$1,$2}]" info:; }
alive() { kill -0 "$pid" 2>/dev/null; }

# A notification box would wait for a click nobody can give.
STIMULARK_NOTIFICATIONS=stderr "$demo" 2>"$work/stderr" &
pid=$!

# Before the demo shows, the compositor's own background fills the output.
shown=false
for _ in $(seq 100); do
    alive || break
    shoot
    if [[ $(pixel 5 5) == "$grey" ]]; then
        shown=true
        break
    fi
    sleep 0.1
done
alive || fail "the demo ended before it showed its canvas"
$shown || fail "no grey canvas within 10 s; the corner is $(pixel 5 5)"

# A frame or two later, so that the picture is drawn too.
sleep 0.3
shoot
size=$(convert "$shot" -format "%wx%h" info:)
[[ $size == 1024x768 ]] || fail "the screenshot is $size, not 1024x768"
for corner in "5 5" "1018 5" "5 762" "1018 762"; do
    # shellcheck disable=SC2086 # two numbers
    colour=$(pixel $corner)
    [[ $colour == "$grey" ]] || fail "the canvas at ($corner) is $colour, not mid-grey"
done
centre=$(pixel 512 384)
[[ $centre != "$grey" ]] || fail "nothing is drawn at the centre: it is the canvas's grey"
[[ $centre != "srgb(0,0,0)" ]] || fail "the centre is black"

# wtype brings its own keyboard; the demo must bind it before the key comes.
wtype -s 300 -P Escape -p Escape
for _ in $(seq 100); do
    alive || break
    sleep 0.1
done
alive && fail "the demo did not end within 10 s of Escape"
code=0
wait "$pid" || code=$?
pid=""
[[ $code == 0 ]] || fail "Escape ended the demo with exit code $code, not 0"
if grep -q "Stimulark Notification" "$work/stderr"; then
    fail "the demo reported a notification"
fi
echo "the demo showed its canvas and picture, and Escape ended it with exit code 0"
