#!/usr/bin/env bash
# Runs the entry test program as a user would: each mode's notification line, exit code and whether the main
# routine ran ("notifications"), that the real box appears and holds the program until dismissed ("box"), or
# that Alt+F4 runs the program's registered save before it ends with exit code 1 ("close"). Every wait is
# bounded.
set -u
program=$1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
no_counter="Stimulark Notification: Stimulark::Clock [HARDWARE NOT SUPPORTED] This computer does not support high-resolution performance counter."
ran() { grep -q "main routine runs" "$work/out" && echo yes || echo no; }

# check MODE LINE RUNS: LINE is all of standard error, one notification line or none; RUNS yes or no.
check() {
    local code=0
    ENTRY_MODE=$1 STIMULARK_NOTIFICATIONS=stderr timeout 10 "$program" >"$work/out" 2>"$work/err" || code=$?
    [[ $code == 0 ]] || fail "$1: exit code $code"
    [[ $(<"$work/err") == "$2" ]] || fail "$1: standard error is not '$2' but: $(<"$work/err")"
    [[ $(ran) == "$3" ]] || fail "$1: main routine ran: $(ran)"
}

# Polls a condition every 50 ms for at most five seconds.
within_5s() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.05; done
    return 1
}
has_box() { box=$(xwininfo -root -children 2>/dev/null | awk '/"Stimulark Notification":/ {print $1}'); [[ -n $box ]]; }
ended() { ! kill -0 "$pid" 2>/dev/null; }

case ${2:-} in
notifications)
    check exception "Stimulark Notification: Stimulark::Clock [API ERROR] Failed on purpose." yes
    check std "Stimulark Notification : std lib exception: no named exception thrown" yes
    check string "Stimulark Notification: A thrown text." yes
    check unknown "Stimulark Notification : unknown exception: an exception of an unknown type was thrown" yes
    check twice "Stimulark Notification: Stimulark::Canvas [ALREADY OPEN] The canvas is already open." yes
    check return "" yes
    check no-counter "$no_counter" no
    ;;
box)
    [[ -n ${DISPLAY:-} ]] || { echo "no display"; exit 77; }
    (unset STIMULARK_NOTIFICATIONS; ENTRY_MODE=no-counter exec timeout 20 "$program" >"$work/out" 2>"$work/err") &
    pid=$!
    if ! within_5s has_box; then
        fail "no box appeared; stderr: $(cat "$work/err")"
    else
        sleep 0.5
        ended && fail "the program did not wait for the box"
        grep -qxF -- "$no_counter" "$work/err" || fail "missing line; stderr: $(cat "$work/err")"
        xdotool key --window "$box" Return 2>/dev/null # the box's one button, OK
        if within_5s ended; then
            wait "$pid" || fail "exit code $? after the box"
        else
            fail "the box did not go away"
        fi
        [[ $(ran) == no ]] || fail "main routine ran"
    fi
    kill "$pid" 2>/dev/null
    ;;
close)
    [[ -n ${DISPLAY:-} ]] || { echo "no display"; exit 77; }
    opened() { grep -q "canvas open" "$work/out"; }
    for mode in close-save close-throw; do
        rm -f "$work/saved"
        # No STIMULARK_NOTIFICATIONS: a box would hold the program past the wait below.
        (unset STIMULARK_NOTIFICATIONS; ENTRY_MODE=$mode ENTRY_SAVE=$work/saved exec timeout 20 "$program" \
            >"$work/out" 2>"$work/err") &
        pid=$!
        within_5s opened || fail "$mode: no canvas; stderr: $(cat "$work/err")"
        sleep 0.3
        xdotool key alt+F4
        within_5s ended || fail "$mode: Alt+F4 did not end it"
        code=0
        wait "$pid" || code=$?
        [[ $code == 1 ]] || fail "$mode: exit code $code, not 1"
        if [[ $mode == close-save ]]; then
            saved=$(cat "$work/saved" 2>/dev/null)
            [[ $saved == "saved, canvas open" ]] || fail "$mode: saved '$saved'"
            [[ ! -s $work/err ]] || fail "$mode: stderr: $(cat "$work/err")"
        else
            [[ $(<"$work/err") == "Stimulark Notification: Stimulark::File [FILE ACCESS ERROR] Failed on purpose." ]] ||
                fail "$mode: stderr: $(cat "$work/err")"
        fi
    done
    ;;
*) fail "usage: $0 PROGRAM notifications|box|close" ;;
esac
[[ $failures == 0 ]]
