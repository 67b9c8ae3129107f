#!/usr/bin/env bash
# The whole program in tmux against a private sound server (PULSE_HARNESS_SERVER: pulseaudio,
# the default, or pipewire): the device dialog, a voice heard through the virtual cable,
# quitting, and the settings left in MVConsole.ini.
# Usage: bash program_test.sh BUILD_DIR     (exit 77 = skipped)
set -uo pipefail

# shellcheck source=program_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/program_session.sh"

# The listed index of a device in the dialog, from a line "    N: name".
device_index() {
    screen | sed -n -E "s/^ +([0-9]+): $1\$/\1/p" | head -n 1
}

# Plays a 220 Hz tone into the fake microphone and records what reaches the virtual cable.
record_tone() {
    local out=$1
    parec -d virtual_cable.monitor --format=float32le --rate=48000 --channels=1 --raw \
        --latency-msec=20 \
        >"$work/cable.raw" 2>/dev/null &
    local recorder=$!
    sleep 0.3
    paplay -d fake_mic "$work/tone.wav" || fail "paplay could not play into the fake mic"
    sleep 0.7
    kill "$recorder" 2>/dev/null
    wait "$recorder" 2>/dev/null
    sox -t raw -r 48000 -e floating-point -b 32 -c 1 "$work/cable.raw" "$out" ||
        fail "the recording of the cable could not be read"
}

# The frequency of the loudest bin of the summed spectrum (bins of 11.7 Hz).
loudest_frequency() {
    sox "$1" -n stat -freq 2>&1 |
        awk 'NF == 2 && $1 ~ /^[0-9.]+$/ { power[$1] += $2 }
             END { for (f in power) if (power[f] > best) { best = power[f]; at = f }; print at }'
}

sox -n -r 48000 -c 1 -b 16 "$work/tone.wav" synth 2 sine 220 vol 0.5 ||
    fail "sox could not make the test tone"
start_program "$SDL_AUDIODRIVER"

# The device dialog of a first start.
wait_for "Select capture device["
capture=$(device_index "Microphone")
[ -n "$capture" ] || fail "no capture device named Microphone is listed"
keys "$capture" Enter
wait_for "Select playback device["
playback=$(device_index "Virtual cable")
[ -n "$playback" ] || fail "no playback device named Virtual cable is listed"
keys "$playback" Enter
wait_for "Enable stereo microphone? [y/N]:"
keys n
wait_for "| Main menu"
screen | grep -qF "Microphone -> Virtual cable" || fail "the status line does not name the devices"
screen | grep -qF "Turn on/off (On)" || keys Enter

# Radio: half-wave rectified, so nothing below zero reaches the cable.
keys Down Enter
wait_for "| Set Voice     |"
for _ in $(seq 10); do keys Down; done
keys Enter
wait_for "Set Voice (Radio)"
record_tone "$work/radio.wav"
read -r radio_min radio_max < <(sox "$work/radio.wav" -n stats 2>&1 |
    awk '/^Min level/ { min = $3 } /^Max level/ { max = $3 } END { print min, max }')
awk -v m="$radio_max" 'BEGIN { exit !(m > 0.05) }' || fail "Radio: no signal on the cable (max $radio_max)"
awk -v m="$radio_min" 'BEGIN { exit !(m >= -0.0001) }' || fail "Radio: samples below zero (min $radio_min)"
echo "Radio: min $radio_min, max $radio_max"

# Baby pitch: one octave up.
keys Enter
wait_for "| Set Voice     |"
for _ in $(seq 9); do keys Down; done
keys Enter
wait_for "Set Voice (Baby Pitch)"
record_tone "$work/baby.wav"
baby=$(loudest_frequency "$work/baby.wav")
awk -v f="$baby" 'BEGIN { exit !(f > 428 && f < 452) }' || fail "Baby pitch: loudest bin at $baby Hz, not 440"
echo "Baby pitch: loudest bin at $baby Hz"

# Quit.
keys q
wait_for "Quit? [Y/n]:"
keys y
wait_for "Elapsed time since start is 0 minute(s). Bye!"
wait_for "EXIT STATUS 0"

ini="$work/MVConsole.ini"
[ -f "$ini" ] || fail "no MVConsole.ini was written"
for line in "DEVICE_CAPTURE_IDX=$capture" "DEVICE_PLAYBACK_IDX=$playback" "ENABLE_STEREO=0" \
    "VOICE_EFFECT=8" "ENABLED=1"; do
    grep -qx -- "$line" "$ini" || fail "MVConsole.ini lacks $line: $(tr '\n' ' ' <"$ini")"
done
echo "PASSED ($server)"
