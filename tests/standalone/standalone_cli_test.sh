#!/usr/bin/env bash
# brimtone-standalone as a player meets it: one-line errors with a non-zero exit
# for what can be put right, and, when jackd is there, runs against a private
# JACK server with the dummy driver: latency at start, a clean stop on SIGINT,
# the settings kept for the next run, and audio through the amp and back with
# its round trip and CPU load.
set -u
app=$1 render=$2 loop_client=${3:-}
work=$(mktemp -d)
jack_pid=""
stop_jack() { [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null; }
trap 'stop_jack; rm -rf "$work"' EXIT
passed=0 failed=0
check() { if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi; }
export XDG_CONFIG_HOME="$work/config" JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER="brimtone-test-$$"

fails() { # description, exit code, message, arguments
    "$app" "${@:4}" >"$work/stdout" 2>"$work/stderr"
    local got=$?
    check "$1: exit $2 (got $got)" test "$got" -eq "$2"
    check "$1: message" grep -q -- "$3" "$work/stderr"
    check "$1: one line" test "$(grep -c "brimtone-standalone:" "$work/stderr")" -eq 1
}
fails "unknown option" 2 "unknown option '--volume'" --volume 3
fails "bad rate" 2 "rate must be" --rate fast
fails "missing plug-in" 1 "plug-in '$work/none.so' not found" --plugin "$work/none.so"
echo "not a module" >"$work/text.so"
fails "not a module" 1 "is not a loadable module" --plugin "$work/text.so"
fails "not a VST2 plug-in" 1 "is not a VST2 plug-in (no VSTPluginMain)" --plugin "$(ldd "$app" | awk '/libportaudio/ { print $3 }')"
(unset DISPLAY; "$app" >"$work/stdout" 2>"$work/stderr")
check "no display: exit 1" test $? -eq 1
check "no display: names --no-gui" grep -q "no display.*--no-gui" "$work/stderr"
fails "bad preset" 1 "text.so: not a VST preset file" --no-gui --preset "$work/text.so"
fails "unknown program" 1 "unknown program 'Metal'" --no-gui --program Metal

# A private server with the dummy driver at 48 kHz, `period` frames a cycle.
start_jack() {
    stop_jack
    jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p "$1" >"$work/jackd.log" 2>&1 &
    jack_pid=$!
    for _ in $(seq 50); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
}
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ t = $12 + $13 } END { print t + 0 }'; }
play() { # runs the app for a while, then stops it as Ctrl-C does
    "$app" "$@" >"$work/out" 2>&1 &
    local pid=$!
    sleep 2
    kill -INT "$pid"
    wait "$pid"
}

command -v jackd >/dev/null && start_jack 128
if ! command -v jackd >/dev/null; then
    echo "SKIPPED: the real-time runs need jackd (Debian jackd2)"
elif ! jack_lsp >/dev/null 2>&1; then
    echo "SKIPPED: the real-time runs: jackd -d dummy did not start ($(tail -1 "$work/jackd.log"))"
else
    play --no-gui --program 5 --block 64
    check "JACK run: exit 0 after SIGINT" test $? -eq 0
    check "JACK run: latency at start" grep -q "latency: input .* = .* ms" "$work/out"
    check "JACK run: xruns at exit" grep -q "stopped; [0-9]* xrun" "$work/out"
    check "JACK run: the client is gone" test -z "$(jack_lsp 2>/dev/null | grep -i portaudio)"
    play --no-gui
    check "restart: the program comes back" grep -q "^program 5:" "$work/out"
    "$render" --list --preset "$XDG_CONFIG_HOME/brimtone/standalone.fxp" >"$work/list" 2>&1
    check "render reads the standalone's settings" grep -q "^   0 .*(current)" "$work/list"
    "$render" --save-preset "$work/lead.fxp" -p "Hi-Gain Lead" --set Gain=0.25 >/dev/null 2>&1
    play --no-gui --preset "$work/lead.fxp"
    check "the standalone reads render's program file" grep -q "^program 5: Hi-Gain Lead" "$work/out"

    # Audio from a client of the test's own through the app and back, with each
    # block size as the server's period: the round trip and the app's CPU load.
    [ -z "$loop_client" ] && echo "SKIPPED: the round trip through the app needs libjack (Debian libjack-jackd2-dev)"
    for block in ${loop_client:+64 256}; do
        start_jack "$block"
        "$app" --no-gui --program 5 --block "$block" >"$work/out" 2>&1 &
        pid=$!
        for _ in $(seq 50); do app_port=$(jack_lsp 2>/dev/null | grep -i -m1 portaudio) && break; sleep 0.1; done
        ticks=$(cpu_ticks "$pid") start=$(date +%s.%N)
        # The dummy server runs without real-time scheduling: a stall of the
        # machine can spoil one run's timing, so a run is tried up to three times.
        loop_status=1
        for _ in 1 2 3; do
            "$loop_client" "${app_port%%:*}" 2 >"$work/loop" 2>&1 && { loop_status=0; break; }
        done
        check "round trip at $block frames: the loop client's checks hold" test "$loop_status" -eq 0
        ticks=$(($(cpu_ticks "$pid") - ticks))
        seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
        kill -INT "$pid"
        wait "$pid"
        check "round trip at $block frames: the app stops cleanly" test $? -eq 0
        cat "$work/loop"
        frames=$(sed -n 's/^round trip: \([0-9]*\) frames.*/\1/p' "$work/loop")
        # A loop through the graph takes at least one period; two measured here
        # (and the amp's few frames of rise); four would be a stream that buffers.
        check "round trip at $block frames: $block to $((4 * block)) frames (got ${frames:-none})" \
            test "${frames:-0}" -ge "$block" -a "${frames:-0}" -le $((4 * block))
        awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v b="$block" \
            'BEGIN { printf "app CPU load at %d frames: %.1f%% of one core over %.1f s\n", b, 100 * t / hz / s, s }'
    done
fi
echo "standalone: $passed passed, $failed failed"
test "$failed" -eq 0
