#!/usr/bin/env bash
# The whole program in tmux against a private sound server (PULSE_HARNESS_SERVER: pulseaudio,
# the default, or pipewire; with MORAVEL_E2E_SDL_DRIVER set, through that SDL driver) while its
# devices go away and come back: the cable's sink unloaded and loaded again, then the server
# stopped and started again. The status line says what is gone within 2 s, the sound is back within 2 s of the
# device's return with no key pressed, the settings keep the device names, and Exit still ends
# the program in time.
# Usage: bash device_loss_test.sh BUILD_DIR     (exit 77 = skipped)
set -uo pipefail

build_dir=${1:?usage: device_loss_test.sh BUILD_DIR}
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
status_line() { screen | grep -F -- " -> " | tail -n 1; }

# Seconds since the epoch, with a fraction (portable: no date +%N).
now() { perl -MTime::HiRes=time -e 'printf "%.2f\n", time'; }

# Waits up to $2 seconds (default 10) until the status line shows the text; how long it took
# goes to $waited.
waited=
wait_status() {
    local text=$1 limit=${2:-10} start
    start=$(now)
    until status_line | grep -qF -- "$text"; do
        awk -v s="$start" -v n="$(now)" -v l="$limit" 'BEGIN { exit !(n - s > l) }' &&
            fail "the status line never showed within $limit s: $text"
        sleep 0.1
    done
    waited=$(awk -v s="$start" -v n="$(now)" 'BEGIN { printf "%.1f", n - s }')
}

# Waits up to $1 seconds until the status line names the devices and nothing is gone.
wait_status_normal() {
    local limit=$1 start
    start=$(now)
    until status_line | grep -qF "Microphone -> Virtual cable" && ! status_line | grep -qF "gone"; do
        awk -v s="$start" -v n="$(now)" -v l="$limit" 'BEGIN { exit !(n - s > l) }' &&
            fail "the status line was not back to normal within $limit s"
        sleep 0.1
    done
    waited=$(awk -v s="$start" -v n="$(now)" 'BEGIN { printf "%.1f", n - s }')
}

# Plays a 440 Hz tone into the fake mic and prints the loudest frequency on the cable.
cable_pitch() {
    parec -d virtual_cable.monitor --format=float32le --rate=48000 --channels=1 --raw \
        >"$work/cable.raw" 2>/dev/null &
    local recorder=$!
    sleep 0.3
    paplay -d fake_mic "$work/tone.wav" >/dev/null 2>&1
    sleep 0.3
    kill "$recorder" 2>/dev/null
    wait "$recorder" 2>/dev/null
    sox -t raw -r 48000 -e floating-point -b 32 -c 1 "$work/cable.raw" -n stat -freq 2>&1 |
        awk 'NF == 2 && $1 ~ /^[0-9.]+$/ { power[$1] += $2 }
             END { for (f in power) if (power[f] > best) { best = power[f]; at = f }; print at + 0 }'
}

# Where the last recording's tone breaks: the sine's own recurrence
# |y[n] - 2cos(w)y[n-1] + y[n-2]| above 0.02, in the steady part (0.1 s in from where it is
# audible at each end), counted once per 25 ms.
cable_breaks() {
    sox -t raw -r 48000 -e floating-point -b 32 -c 1 "$work/cable.raw" -t dat - 2>/dev/null |
        awk 'NR > 2 { y[n++] = $2 }
             END {
                 first = -1; last = -1
                 for (i = 0; i < n; i++) if (y[i] > 0.05 || y[i] < -0.05) { if (first < 0) first = i; last = i }
                 c = 2 * cos(2 * 3.14159265358979 * 440 / 48000); events = 0; previous = -100000
                 for (i = first + 4800 + 2; i < last - 4800; i++) {
                     r = y[i] - c * y[i - 1] + y[i - 2]
                     if ((r > 0.02 || r < -0.02) && i - previous >= 1200) { events++; previous = i }
                 }
                 print events
             }'
}

# The tone must arrive (the loudest bin near 440 Hz, bins of 11.7 Hz) and unbroken.
expect_sound() {
    local pitch breaks
    pitch=$(cable_pitch)
    awk -v f="$pitch" 'BEGIN { exit !(f > 425 && f < 455) }' ||
        fail "$1: no 440 Hz tone on the cable (loudest bin at ${pitch:-nothing} Hz)"
    breaks=$(cable_breaks)
    [ "$breaks" -le 1 ] || fail "$1: the tone broke $breaks times in 1.3 s"
    echo "$1: tone on the cable at $pitch Hz, $breaks breaks"
}

pulse_harness_start "$server" || fail "the private $server server did not start"
printf 'leak:libpulse.so\nleak:libpipewire-0.3.so\nleak:libspa-\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
sox -n -r 48000 -c 1 -b 16 "$work/tone.wav" synth 1.5 sine 440 vol 0.5 ||
    fail "sox could not make the test tone"
driver=${MORAVEL_E2E_SDL_DRIVER:-}

# Devices saved by name, so the program starts straight into the menus.
printf 'ENABLED=0\nDEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=0\nDEVICE_CAPTURE_NAME=Microphone\nDEVICE_PLAYBACK_NAME=Virtual cable\n' \
    >"$work/MVConsole.ini"

tmux_ new-session -d -s app -x 100 -y 30 -c "$work" \
    "env PULSE_SERVER='$PULSE_SERVER' PULSE_COOKIE='$PULSE_COOKIE' \
     SDL_AUDIODRIVER='$driver' XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR' \
     PIPEWIRE_RUNTIME_DIR='${PIPEWIRE_RUNTIME_DIR:-}' LSAN_OPTIONS='$LSAN_OPTIONS' \
     '$program' 2>'$work/stderr.txt'; echo \"EXIT STATUS \$?\"; sleep 600"

wait_status_normal 10
expect_sound "at the start"

# The cable goes away, and comes back.
pulse_harness_unload cable || fail "the cable could not be unloaded"
wait_status "Virtual cable is gone" 2
echo "cable unloaded: shown after $waited s: $(status_line)"
sleep 1
pulse_harness_reload cable || fail "the cable could not be loaded again"
wait_status_normal 2
echo "cable back: the status line normal after $waited s"
expect_sound "after the cable came back"

# The server goes away, and starts again; the devices are made again as a log-in would.
pulse_harness_kill "$PULSE_HARNESS_DIR"
wait_status "the sound server is gone" 2
echo "server stopped: shown after $waited s: $(status_line)"
sleep 1
pulse_harness_resume || fail "the server did not start again"
pulse_harness_load_mic && pulse_harness_load_cable || fail "the devices could not be made again"
wait_status_normal 2
echo "server back: the status line normal after $waited s"
expect_sound "after the server came back"

# The cable goes away again, and the program is ended while it waits.
pulse_harness_unload cable || fail "the cable could not be unloaded"
wait_status "Virtual cable is gone" 2
start=$(now)
tmux_ send-keys -t app q
sleep 0.3
tmux_ send-keys -t app y
until screen | grep -qF "EXIT STATUS 0"; do
    awk -v s="$start" -v n="$(now)" 'BEGIN { exit !(n - s > 5) }' && fail "Exit took over 5 s"
    sleep 0.1
done
echo "Exit while waiting for the cable: $(awk -v s="$start" -v n="$(now)" 'BEGIN { printf "%.1f", n - s }') s"
for line in "DEVICE_CAPTURE_NAME=Microphone" "DEVICE_PLAYBACK_NAME=Virtual cable"; do
    grep -qx -- "$line" "$work/MVConsole.ini" ||
        fail "MVConsole.ini lacks $line: $(tr '\n' ' ' <"$work/MVConsole.ini")"
done
echo "PASSED ($server${driver:+, SDL driver $driver})"
