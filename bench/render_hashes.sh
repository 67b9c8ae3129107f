#!/usr/bin/env bash
# Renders the same inputs through the processing of this checkout and of another commit and
# compares the outputs bit for bit: every voice effect id 0 to 20, every sound effect, bass and
# treble, noise removal and the mix of the original voice, mono and stereo, at 44.1 and 48 kHz.
# For changes that must not change a single sample.
#   bench/render_hashes.sh COMMIT [BUILD_DIR]     (BUILD_DIR: this checkout's build, "build")
set -euo pipefail
base=${1:?usage: $0 COMMIT [BUILD_DIR]}
build=${2:-build}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ours="$source_dir/$build/mvconsole-render"
[ -x "$ours" ] || { echo "no $ours: build this checkout first" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is not installed" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
    git -C "$source_dir" worktree remove --force "$work/base" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "building $base ..."
git -C "$source_dir" worktree add --detach "$work/base" "$base" >/dev/null
cmake -S "$work/base" -B "$work/base/build" -DMORAVEL_BENCH=OFF >/dev/null
cmake --build "$work/base/build" --target mvconsole-render -j2 >/dev/null
theirs="$work/base/build/mvconsole-render"

# A voice-like input: a gliding tone with harmonics and a little noise, 3 s.
for rate in 44100 48000; do
    for channels in 1 2; do
        sox -n -r "$rate" -c "$channels" -b 32 -e floating-point "$work/in-$rate-$channels.wav" \
            synth 3 sine 120-360 sine 240-720 whitenoise gain -14
    done
done

cases=()
for id in $(seq 0 20); do cases+=("--set VOICE_EFFECT=$id --set MANUAL_PITCH=350"); done
cases+=("--set VOICE_EFFECT=20 --set CHAIN_EFFECT_1=10 --set CHAIN_EFFECT_2=9 --set CHAIN_EFFECT_3=13 --set CHAIN_EFFECT_4=15")
for id in 1 2 3 4; do cases+=("--set VOICE_EFFECT=0 --set SOUND_EFFECT=$id"); done
cases+=("--set VOICE_EFFECT=0 --set MICROPHONE_BASS=600 --set MICROPHONE_TREBLE=-450")
cases+=("--set VOICE_EFFECT=0 --set ENABLE_NOISE_REMOVAL=1")
cases+=("--set VOICE_EFFECT=4 --set OVERLAP_ORIGINAL_VOICE=1 --set MICROPHONE_SENSIVITY=20")
cases+=("--set ENABLED=0")

differ=0
total=0
for input in "$work"/in-*.wav; do
    for args in "${cases[@]}"; do
        rm -f "$work/ours.wav" "$work/theirs.wav"
        # shellcheck disable=SC2086
        "$ours" $args "$input" "$work/ours.wav" 2>"$work/ours.err" ||
            { echo "this checkout failed on $args:" >&2; cat "$work/ours.err" >&2; exit 1; }
        # shellcheck disable=SC2086
        "$theirs" $args "$input" "$work/theirs.wav" 2>"$work/theirs.err" ||
            { echo "$base failed on $args:" >&2; cat "$work/theirs.err" >&2; exit 1; }
        total=$((total + 1))
        # The samples, not the files: the header's peak chunk carries the time of writing.
        sox -V1 "$work/ours.wav" -t f32 "$work/ours.raw"
        sox -V1 "$work/theirs.wav" -t f32 "$work/theirs.raw"
        if ! cmp -s "$work/ours.raw" "$work/theirs.raw"; then
            differ=$((differ + 1))
            echo "DIFFERENT: $(basename "$input") $args"
        fi
    done
done
echo "$((total - differ)) of $total renders bit-identical to $base"
[ "$differ" -eq 0 ]
