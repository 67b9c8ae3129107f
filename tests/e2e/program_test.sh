#!/usr/bin/env bash
# The whole program in tmux against a private sound server (PULSE_HARNESS_SERVER: pulseaudio,
# the default, or pipewire): the device dialog, a voice heard through the virtual cable,
# quitting, and the settings left in MVConsole.ini.
# Usage: bash program_test.sh BUILD_DIR     (exit 77 = skipped)
set -uo pipefail

build_dir=${1:?usage: program_test.sh BUILD_DIR}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
program="$build_dir/mvconsole"
[ -d "$build_dir" ] && program="$(cd "$build_dir" && pwd)/mvconsole"

for tool in tmux sox awk; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (needed for the end-to-end test)"
        exit 77
    fi
done
if [ ! -x "$program" ]; then
    echo "SKIPPED: $program is not built"
    exit 77
fi

# shellcheck source=../../scripts/pulse-harness.sh
source "$source_dir/scripts/pulse-harness.sh"
server=${PULSE_HARNESS_SERVER:-pulseaudio}
if ! pulse_harness_check "$server" 2>/dev/null; then
    echo "SKIPPED: the tools of a private $server server are not installed"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/moravel-e2e.XXXXXX")
socket="moravel-e2e-$$"
tmux_() { tmux -L "$socket" "$@"; }
cleanup() {
    tmux_ kill-server >/dev/null 2>&1
    pulse_harness_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    echo "---- screen ----"
    tmux_ capture-pane -p -t app 2>/dev/null
    if [ -s "$work/stderr.txt" ]; then
        echo "---- standard error of the program ----"
        head -c 4000 "$work/stderr.txt"
    fi
    exit 1
}

screen() { tmux_ capture-pane -p -t app; }

# Waits until the screen shows the text (fixed string).
wait_for() {
    local text=$1 tries=0
    until screen | grep -qF -- "$text"; do
        tries=$((tries + 1))
        [ "$tries" -gt 100 ] && fail "the screen never showed: $text"
        sleep 0.1
    done
}

keys() {
    tmux_ send-keys -t app "$@"
    sleep 0.25
}

# The listed index of a device in the dialog, from a line "    N: name".
device_index() {
    screen | sed -n -E "s/^ +([0-9]+): $1\$/\1/p" | head -n 1
}

# Plays a 220 Hz tone into the fake microphone and records what reaches the virtual cable.
record_tone() {
    local out=$1
    parec -d virtual_cable.monitor --format=float32le --rate=48000 --channels=1 --raw \
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

pulse_harness_start "$server" || fail "the private $server server did not start"
# In sanitizer builds: the sound servers' client libraries (libpulse under SDL, libpipewire)
# leave a few allocations of their own behind at exit; they are not the program's.
printf 'leak:libpulse.so\nleak:libpipewire-0.3.so\nleak:libspa-\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
sox -n -r 48000 -c 1 -b 16 "$work/tone.wav" synth 2 sine 220 vol 0.5 ||
    fail "sox could not make the test tone"

tmux_ new-session -d -s app -x 100 -y 40 -c "$work" \
    "env PULSE_SERVER='$PULSE_SERVER' PULSE_COOKIE='$PULSE_COOKIE' \
     SDL_AUDIODRIVER='$SDL_AUDIODRIVER' XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR' \
     PIPEWIRE_RUNTIME_DIR='${PIPEWIRE_RUNTIME_DIR:-}' LSAN_OPTIONS='$LSAN_OPTIONS' \
     '$program' 2>'$work/stderr.txt'; echo \"EXIT STATUS \$?\"; sleep 600"

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
