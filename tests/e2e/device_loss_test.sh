#!/usr/bin/env bash
# The whole program in tmux against a private sound server (PULSE_HARNESS_SERVER: pulseaudio,
# the default, or pipewire; with MORAVEL_E2E_SDL_DRIVER set, through that SDL driver) while its
# devices go away and come back: the cable's sink unloaded and loaded again, then the server
# stopped and started again. The status line says what is gone within 2 s, the sound is back
# within 2 s of the device's return with no key pressed, the settings keep the device names,
# and Exit still ends the program in time.
# Usage: bash device_loss_test.sh BUILD_DIR     (exit 77 = skipped)
set -uo pipefail

# shellcheck source=program_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/program_session.sh"

status_line() { screen | grep -F -- " -> " | tail -n 1; }

# Seconds since the epoch, with a fraction, on any system.
now() { perl -MTime::HiRes=time -e 'printf "%.2f\n", time'; }

# Waits up to $1 seconds until the command $2... succeeds; how long it took goes to $waited.
waited=
wait_until() {
    local limit=$1 start
    shift
    start=$(now)
    until "$@"; do
        awk -v s="$start" -v n="$(now)" -v l="$limit" 'BEGIN { exit !(n - s > l) }' &&
            fail "not within $limit s: $*"
        sleep 0.1
    done
    waited=$(awk -v s="$start" -v n="$(now)" 'BEGIN { printf "%.1f", n - s }')
}
status_shows() { status_line | grep -qF -- "$1"; }
status_normal() { status_shows "Microphone -> Virtual cable" && ! status_shows "gone"; }
program_ended() { screen | grep -qF "EXIT STATUS 0"; }

# While it runs: the longest the whole machine stood still, in ms (a 1 ms sleep that woke late,
# at real-time priority where it may, so that no busy thread of the program counts as a stall),
# written to $work/stall when stopped.
longest_stall() {
    local realtime=()
    chrt -f 99 true 2>/dev/null && realtime=(chrt -f 99)
    exec "${realtime[@]}" perl -MTime::HiRes=time,sleep -e '
        my ($longest, $last) = (0, time);
        $SIG{TERM} = sub { open(my $out, ">", $ARGV[0]); printf $out "%.0f\n", $longest * 1000; exit };
        while (1) { sleep 0.001; my $t = time; $longest = $t - $last if $t - $last > $longest; $last = $t }
    ' "$work/stall"
}

# Plays a 440 Hz tone into the fake mic and prints the loudest frequency on the cable. The
# recorder asks for small fragments: stopped, it loses what it has not handed over yet.
cable_pitch() {
    longest_stall &
    local prober=$!
    parec -d virtual_cable.monitor --format=float32le --rate=48000 --channels=1 --raw \
        --latency-msec=20 \
        >"$work/cable.raw" 2>/dev/null &
    local recorder=$!
    sleep 0.3
    paplay -d fake_mic "$work/tone.wav" >/dev/null 2>&1
    sleep 0.3
    kill "$recorder" "$prober" 2>/dev/null
    wait "$recorder" "$prober" 2>/dev/null
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

# The tone must arrive (the loudest bin near 440 Hz, bins of 11.7 Hz) and unbroken, within $2
# tries of 2 s (one by default): a server may take a while to link new streams. A stall of the
# whole machine (20 ms or more) breaks any path, the server's own loopback too, so a try that
# met one is not counted, up to twice as many tries in all; what the program gets wrong fails
# every try.
expect_sound() {
    local pitch breaks stall tries=0 counted=0 problem
    while :; do
        pitch=$(cable_pitch)
        stall=$(cat "$work/stall" 2>/dev/null || echo 0)
        tries=$((tries + 1))
        if ! awk -v f="$pitch" 'BEGIN { exit !(f > 425 && f < 455) }'; then
            problem="no 440 Hz tone on the cable (loudest bin at ${pitch:-nothing} Hz)"
            counted=$((counted + 1))
        else
            breaks=$(cable_breaks)
            [ "$breaks" -le 1 ] && break
            problem="the tone broke $breaks times in 1.3 s"
            if [ "$stall" -ge 20 ]; then
                problem="$problem, the machine stood still for $stall ms"
                if [ "$tries" -ge $((2 * ${2:-1})) ]; then
                    echo "$1: $problem; breaks not judged: the machine stalled in every try"
                    return
                fi
            else
                counted=$((counted + 1))
            fi
        fi
        [ "$counted" -lt "${2:-1}" ] || fail "$1: $problem, $tries tries"
        echo "$1: $problem; once more"
    done
    echo "$1: tone on the cable at $pitch Hz, $breaks breaks${2:+, try $tries}"
}

sox -n -r 48000 -c 1 -b 16 "$work/tone.wav" synth 1.5 sine 440 vol 0.5 ||
    fail "sox could not make the test tone"
driver=${MORAVEL_E2E_SDL_DRIVER:-}

# Devices saved by name, so the program starts straight into the menus.
printf 'ENABLED=0\nDEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=0\nDEVICE_CAPTURE_NAME=Microphone\nDEVICE_PLAYBACK_NAME=Virtual cable\n' \
    >"$work/MVConsole.ini"

start_program "$driver"

wait_until 10 status_normal
expect_sound "at the start" 3

# The cable goes away, and comes back.
pulse_harness_unload cable || fail "the cable could not be unloaded"
wait_until 2 status_shows "Virtual cable is gone"
echo "cable unloaded: shown after $waited s: $(status_line)"
sleep 1
pulse_harness_reload cable || fail "the cable could not be loaded again"
wait_until 2 status_normal
echo "cable back: the status line normal after $waited s"
expect_sound "after the cable came back" 3

# The server goes away, and starts again; the devices are made again as a log-in would.
pulse_harness_kill "$PULSE_HARNESS_DIR"
wait_until 2 status_shows "the sound server is gone"
echo "server stopped: shown after $waited s: $(status_line)"
# Past the first try to reopen: whatever else answers meanwhile (SDL falls back to ALSA) is not
# the server.
sleep 1.5
status_shows "the sound server is gone" || fail "while the server is away: $(status_line)"
pulse_harness_resume || fail "the server did not start again"
pulse_harness_load_mic && pulse_harness_load_cable || fail "the devices could not be made again"
wait_until 2 status_normal
echo "server back: the status line normal after $waited s"
expect_sound "after the server came back" 3

# The cable goes away again, and the program is ended while it waits.
pulse_harness_unload cable || fail "the cable could not be unloaded"
wait_until 2 status_shows "Virtual cable is gone"
tmux_ send-keys -t app q
sleep 0.3
tmux_ send-keys -t app y
wait_until 5 program_ended
echo "Exit while waiting for the cable: $waited s after the answer"
for line in "DEVICE_CAPTURE_NAME=Microphone" "DEVICE_PLAYBACK_NAME=Virtual cable"; do
    grep -qx -- "$line" "$work/MVConsole.ini" ||
        fail "MVConsole.ini lacks $line: $(tr '\n' ' ' <"$work/MVConsole.ini")"
done
echo "PASSED ($server${driver:+, SDL driver $driver})"
