#!/usr/bin/env bash
# A private PulseAudio daemon for the end-to-end tests: its own runtime directory, no
# configuration file, and these devices:
#   sink "Fake mic" (fake_mic)            test signals are played into it with paplay -d fake_mic
#   source "Microphone" (microphone)      the fake mic's monitor, what the program captures
#   sink "Virtual cable" (virtual_cable)  where the program plays; record virtual_cable.monitor
#   sink "Splitter" (splitter)            plays into the fake mic and the cable at once, so one
#                                         recording of the cable holds a click twice: directly
#                                         and through the program
#
# Use as a library (source it, then call pulse_harness_start / pulse_harness_stop) or as a
# command:
#   eval "$(scripts/pulse-harness.sh start)"   # prints the export lines for this shell
#   scripts/pulse-harness.sh stop "$PULSE_HARNESS_DIR"
#   scripts/pulse-harness.sh check             # exit 0 when the tools are there
# Once started, SDL_AUDIODRIVER=pulseaudio and PULSE_SERVER point every client at the daemon.

PULSE_HARNESS_RATE=${PULSE_HARNESS_RATE:-48000}

pulse_harness_check() {
    local tool
    for tool in pulseaudio pactl paplay parec; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "pulse harness: $tool is not installed" >&2
            return 1
        fi
    done
}

# Starts the daemon and exports PULSE_HARNESS_DIR, PULSE_HARNESS_PID, PULSE_SERVER,
# PULSE_RUNTIME_PATH, XDG_RUNTIME_DIR and SDL_AUDIODRIVER. Returns non-zero when it cannot.
pulse_harness_start() {
    pulse_harness_check || return 1
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/moravel-pulse.XXXXXX") || return 1
    mkdir -p "$dir/runtime" "$dir/home"
    local socket="$dir/runtime/native"

    # The daemon refuses nothing as root in per-user mode; it only warns. Its own home and
    # runtime directories keep it away from any other sound server on the machine.
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir/runtime" \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit -F /dev/null \
        --use-pid-file=no --system=false --disable-shm=yes \
        --log-target=file:"$dir/daemon.log" --log-level=warning \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" \
        </dev/null >/dev/null 2>&1 &
    local pid=$!

    export PULSE_HARNESS_DIR="$dir"
    export PULSE_HARNESS_PID="$pid"
    export PULSE_SERVER="unix:$socket"
    export PULSE_RUNTIME_PATH="$dir/runtime"
    export XDG_RUNTIME_DIR="$dir"
    export SDL_AUDIODRIVER=pulseaudio
    # Clients must not look for a cookie in the caller's home.
    export PULSE_COOKIE="$dir/home/cookie"
    : >"$PULSE_COOKIE"

    local tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "pulse harness: the daemon did not start (log: $dir/daemon.log)" >&2
            pulse_harness_stop
            return 1
        fi
        sleep 0.05
    done

    local rate="rate=$PULSE_HARNESS_RATE channels=2 format=float32le"
    pactl load-module module-null-sink sink_name=fake_mic $rate \
        "sink_properties=\"device.description='Fake mic'\"" >/dev/null &&
    pactl load-module module-null-sink sink_name=virtual_cable $rate \
        "sink_properties=\"device.description='Virtual cable'\"" >/dev/null &&
    pactl load-module module-remap-source source_name=microphone master=fake_mic.monitor $rate \
        source_properties=device.description=Microphone >/dev/null &&
    pactl load-module module-combine-sink sink_name=splitter slaves=fake_mic,virtual_cable \
        $rate sink_properties=device.description=Splitter >/dev/null &&
    pactl set-default-source microphone &&
    pactl set-default-sink virtual_cable || {
        echo "pulse harness: loading the devices failed (log: $dir/daemon.log)" >&2
        pulse_harness_stop
        return 1
    }
}

# True while the process runs; a zombie child of this shell counts as ended.
pulse_harness_alive() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ]
}

# Stops the daemon started by pulse_harness_start and removes its directory.
pulse_harness_stop() {
    local dir=${1:-$PULSE_HARNESS_DIR}
    local pid=${PULSE_HARNESS_PID:-}
    if [ -z "$pid" ] && [ -n "$dir" ] && [ -f "$dir/pid" ]; then pid=$(cat "$dir/pid"); fi
    if [ -n "$pid" ] && pulse_harness_alive "$pid"; then
        kill -TERM "$pid" 2>/dev/null
        local tries=0
        while pulse_harness_alive "$pid" && [ "$tries" -lt 50 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        pulse_harness_alive "$pid" && kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    case "$dir" in
        */moravel-pulse.*) rm -rf "$dir" ;;
    esac
    unset PULSE_HARNESS_DIR PULSE_HARNESS_PID PULSE_SERVER PULSE_COOKIE
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
        start)
            pulse_harness_start >&2 || exit 1
            echo "$PULSE_HARNESS_PID" >"$PULSE_HARNESS_DIR/pid"
            # The daemon must outlive this script: it was started in the background.
            for var in PULSE_HARNESS_DIR PULSE_HARNESS_PID PULSE_SERVER PULSE_RUNTIME_PATH \
                XDG_RUNTIME_DIR SDL_AUDIODRIVER PULSE_COOKIE; do
                printf 'export %s=%q\n' "$var" "${!var}"
            done
            ;;
        stop)
            PULSE_HARNESS_PID="" pulse_harness_stop "${2:-${PULSE_HARNESS_DIR:-}}"
            ;;
        check)
            pulse_harness_check
            ;;
        *)
            echo "usage: $0 start | stop DIR | check" >&2
            exit 2
            ;;
    esac
fi
