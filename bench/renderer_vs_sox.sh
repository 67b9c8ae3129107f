#!/usr/bin/env bash
# Times mvconsole-render's Baby Pitch (+12 semitones) against `sox ... pitch 1200` on the same
# 60 s file and prints both and their ratio. Usage: bench/renderer_vs_sox.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
render="$build/mvconsole-render"
command -v sox >/dev/null || { echo "sox is not installed" >&2; exit 1; }
[ -x "$render" ] || { echo "no $render: build the project first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds_of() {  # wall-clock seconds of one command, best of three
    local best=""
    for _ in 1 2 3; do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        best=$(echo "$start $end $best" | awk '{t=$2-$1; if ($3=="" || t<$3) print t; else print $3}')
    done
    echo "$best"
}

for channels in 1 2; do
    # A voice-like signal: a gliding tone with harmonics, 60 s at 48 kHz.
    sox -n -r 48000 -c "$channels" -b 32 -e floating-point "$work/in.wav" \
        synth 60 sine 120-360 sine 240-720 gain -12
    ours=$(seconds_of "$render" --set VOICE_EFFECT=8 "$work/in.wav" "$work/ours.wav")
    theirs=$(seconds_of sox "$work/in.wav" "$work/sox.wav" pitch 1200)
    awk -v c="$channels" -v a="$ours" -v b="$theirs" 'BEGIN {
        printf "%s, 60 s at 48 kHz: mvconsole-render Baby Pitch %.3f s (%.0fx real time), sox pitch 1200 %.3f s (%.0fx), ratio ours/sox %.2f\n",
               (c == 1 ? "mono" : "stereo"), a, 60 / a, b, 60 / b, a / b }'
done
