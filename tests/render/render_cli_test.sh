#!/usr/bin/env bash
# brimtone-render as a user meets it: renders that work, and failures that
# give a one-line error, a non-zero exit and no output file at all.
set -u
render=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() { if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi; }
fails() { # description, message, arguments
    rm -rf "$work/out" && mkdir -p "$work/out"
    "$render" "${@:3}" >"$work/stdout" 2>"$work/stderr"
    check "$1: non-zero exit" test $? -ne 0
    check "$1: message" grep -q "$2" "$work/stderr"
    check "$1: one line" test "$(grep -c 'error' "$work/stderr")" -le 1
    check "$1: no file left" test -z "$(ls -A "$work/out")"
}
x=$work/out/x.wav
fails "missing input" "cannot read" "$work/none.wav" -o "$x"
fails "unreadable input" "cannot read" "$render" -o "$x"
fails "unknown parameter" "unknown parameter 'Volume'" -o "$x" --set Volume=0.5
fails "unknown choice" "not a value of Channel" -o "$x" --set Channel=Metal
fails "value out of range" "out of range" -o "$x" --set Gain=1.5
fails "no value" "expects NAME=VALUE" -o "$x" --set =0.5
fails "unknown program" "unknown program" -o "$x" -p "No Such Program"
fails "program index out of range" "out of range" -o "$x" -p 20
fails "rate out of range" "rate" -o "$x" --rate 8000
fails "no output" "no output" --rate 44100
fails "unwritable output" "cannot write" -o "$work/out/missing-dir/x.wav"
fails "missing plug-in" "cannot load" -o "$x" --plugin "$work/none.so"

# The built-in riff with display choices set by name; then that file in, the same
# container out; --list shows what --set chose.
"$render" -o "$work/riff.wav" --rate 44100 -p "Hi-Gain Lead" --set Channel=Lead --set Oversmpl=4x \
    --set 'SpkSim=4x12"' --set Gain=0.8 >"$work/summary" 2>&1
check "riff render succeeds" test $? -eq 0 -a -s "$work/riff.wav"
check "summary has levels" grep -q "output: peak" "$work/summary"
check "summary has the real-time factor" grep -q "real-time factor" "$work/summary"
check "no temporary file left" test -z "$(ls "$work" | grep partial)"
"$render" "$work/riff.wav" -o "$work/again.aiff" --double --block 100 --set Channel=Bypass >"$work/summary" 2>&1
check "file render reads the riff's rate" grep -q "at 44100 Hz" "$work/summary"
"$render" --list --set Channel=Drive --set 'Rev Mode=Hall' >"$work/list" 2>&1
check "--list shows the choices" grep -Eq "Channel +Drive" "$work/list"
check "--list shows the hall" grep -Eq "Rev Mode +Hall" "$work/list"
check "--list shows the programs" grep -q "Mid-Gain Lead" "$work/list"

# A program file stands for the settings it was saved from: the same samples,
# from the data chunk on (the PEAK chunk holds a time).
same_audio() {
    local at
    at=$(grep -abo data "$1" | head -1 | cut -d: -f1)
    cmp -s <(tail -c +$((at + 1)) "$1") <(tail -c +$((at + 1)) "$2")
}
"$render" -o "$work/set.wav" -p "Hi-Gain Lead" --set Channel=Lead --set Gain=0.8 --tail 0.5 \
    --save-preset "$work/saved.fxp" >/dev/null 2>&1
"$render" -o "$work/preset.wav" --preset "$work/saved.fxp" --tail 0.5 >/dev/null 2>&1
check "--preset renders the same audio as the --set values" same_audio "$work/set.wav" "$work/preset.wav"
"$render" -o "$work/default.wav" -p "Hi-Gain Lead" --tail 0.5 >/dev/null 2>&1
differs() { test -s "$2" && ! same_audio "$1" "$2"; }
check "--set changes the audio" differs "$work/set.wav" "$work/default.wav"
"$render" --list --preset "$work/saved.fxp" >"$work/list" 2>&1
check "--preset names the program" grep -q "Hi-Gain Lead  (current)" "$work/list"

# A bank laid out by hand, big-endian: the saved program twenty times, program 5 current.
word() { printf "$(printf '\\x%02x' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)))"; }
programs=$((($(stat -c %s "$work/saved.fxp") - 56) / 4))
{
    printf 'CcnK'; word $((148 + 20 * (56 + 4 * programs))); printf 'FxBk'; word 2; printf 'QBRT'; word 1
    word 20; word 5; head -c 124 /dev/zero
    for _ in $(seq 20); do cat "$work/saved.fxp"; done
} >"$work/bank.fxb"
"$render" -o "$work/bank.wav" --bank "$work/bank.fxb" --tail 0.5 >/dev/null 2>&1
check "--bank renders its current program" same_audio "$work/set.wav" "$work/bank.wav"
"$render" -o "$work/bank3.wav" --bank "$work/bank.fxb" -p 3 --tail 0.5 >/dev/null 2>&1
check "--bank with -p renders the chosen program" same_audio "$work/set.wav" "$work/bank3.wav"

fails "preset that is not a preset" "riff.wav: not a VST preset file" -o "$x" --preset "$work/riff.wav"
fails "program file given as a bank" "saved.fxp: is a single program" -o "$x" --bank "$work/saved.fxp"
fails "missing preset" "none.fxp: cannot open" -o "$x" --preset "$work/none.fxp"
fails "preset and bank" "not both" -o "$x" --preset "$work/saved.fxp" --bank "$work/bank.fxb"
echo "render: $passed passed, $failed failed"
test "$failed" -eq 0
