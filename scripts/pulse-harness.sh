#!/usr/bin/env bash
# A private sound server for the live and end-to-end tests, PulseAudio or PipeWire (through
# pipewire-pulse), in its own runtime and home folders, with these devices:
#   sink "Fake mic" (fake_mic)            test signals are played into it with paplay -d fake_mic
#   source "Microphone" (microphone)      the fake mic's monitor, what the program captures
#   sink "Virtual cable" (virtual_cable)  where the program plays; record virtual_cable.monitor
#   sink "Splitter" (splitter)            plays into the fake mic and the cable at once
#                                         (PulseAudio only; on PipeWire use the probe)
# and, between pulse_harness_probe and pulse_harness_unprobe, the latency probe:
#   sink "Probe" (probe), stereo          left: the fake mic's monitor, right: the cable's
#                                         monitor; a burst played into the fake mic shows on
#                                         both, the program's delay between them
#
# The server is PULSE_HARNESS_SERVER (pulseaudio, the default, or pipewire), or the argument of
# pulse_harness_start / of the start command. Every device runs at PULSE_HARNESS_RATE (48000)
# with one channel, unless PULSE_HARNESS_MIC_RATE / PULSE_HARNESS_MIC_CHANNELS shape the fake mic
# and the microphone, and PULSE_HARNESS_CABLE_RATE / PULSE_HARNESS_CABLE_CHANNELS the cable.
#
# Use as a library (source it, then call pulse_harness_start / pulse_harness_stop) or as a
# command:
#   eval "$(scripts/pulse-harness.sh start [pulseaudio|pipewire])"   # export lines for this shell
#   scripts/pulse-harness.sh probe | unprobe                         # adds / removes the probe
#   scripts/pulse-harness.sh unload | reload cable|mic               # a device goes, comes back
#   scripts/pulse-harness.sh stop "$PULSE_HARNESS_DIR"
#   scripts/pulse-harness.sh check [pulseaudio|pipewire]             # exit 0 when the tools are there
# Once started, PULSE_SERVER points every pulse client at the server, and XDG_RUNTIME_DIR leads
# native PipeWire clients to it. SDL_AUDIODRIVER is exported empty, so that the program talks
# to the server itself; set it to pulseaudio afterwards to go through SDL instead.

PULSE_HARNESS_RATE=${PULSE_HARNESS_RATE:-48000}

pulse_harness_tools() {
    case "$1" in
        pipewire) echo "pipewire wireplumber pipewire-pulse pw-link dbus-daemon pactl paplay parec" ;;
        *) echo "pulseaudio pactl paplay parec" ;;
    esac
}

pulse_harness_check() {
    local server=${1:-${PULSE_HARNESS_SERVER:-pulseaudio}} tool
    for tool in $(pulse_harness_tools "$server"); do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "pulse harness: $tool is not installed" >&2
            return 1
        fi
    done
}

# Starts the PulseAudio daemon; its pid goes to $dir/pids. With PULSE_HARNESS_LOGIN=1 it starts
# as at a log-in, from the user's ~/.config/pulse/default.pa or the system's default.pa.
pulse_harness_start_pulseaudio() {
    local dir=$1 socket="$1/runtime/native"
    local -a script=(-n -F /dev/null --load="module-native-protocol-unix socket=$socket auth-anonymous=1")
    [ "${PULSE_HARNESS_LOGIN:-0}" = 1 ] && script=()
    # The daemon refuses nothing as root in per-user mode; it only warns. Its own home and
    # runtime folders keep it away from any other sound server on the machine.
    HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_RUNTIME_DIR="$dir" \
        PULSE_RUNTIME_PATH="$dir/runtime" \
        pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit "${script[@]}" \
        --use-pid-file=no --system=false --disable-shm=yes \
        --log-target=file:"$dir/daemon.log" --log-level="${PULSE_HARNESS_LOG_LEVEL:-warning}" \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/pids"
    export PULSE_SERVER="unix:$socket"
    export PULSE_RUNTIME_PATH="$dir/runtime"
    export XDG_RUNTIME_DIR="$dir"
}

# Starts a session bus, pipewire, wireplumber and pipewire-pulse, without systemd; their pids go
# to $dir/pids. PIPEWIRE_DEBUG in the caller's environment sets the servers' log level.
pulse_harness_start_pipewire() {
    local dir=$1 runtime="$1/runtime"
    local -a env=(HOME="$dir/home" XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$dir/home/.config"
                  XDG_STATE_HOME="$dir/home/.state" PIPEWIRE_RUNTIME_DIR="$runtime"
                  PULSE_RUNTIME_PATH="$runtime/pulse" PULSE_SERVER=)
    local bus
    bus=$(env "${env[@]}" dbus-daemon --session --fork --print-address=1 --print-pid=1 \
          --address="unix:path=$runtime/bus") || return 1
    local address pid
    address=$(sed -n 1p <<<"$bus")
    pid=$(sed -n 2p <<<"$bus")
    echo "$pid" >"$dir/pids"
    env=("${env[@]}" DBUS_SESSION_BUS_ADDRESS="$address" DISPLAY=)
    env "${env[@]}" pipewire </dev/null >"$dir/pipewire.log" 2>&1 &
    echo $! >>"$dir/pids"
    # pipewire-pulse and wireplumber need pipewire's socket.
    local tries=0
    until [ -S "$runtime/pipewire-0" ]; do
        tries=$((tries + 1))
        [ "$tries" -gt 100 ] && return 1
        sleep 0.05
    done
    env "${env[@]}" wireplumber </dev/null >"$dir/wireplumber.log" 2>&1 &
    echo $! >>"$dir/pids"
    env "${env[@]}" pipewire-pulse </dev/null >"$dir/daemon.log" 2>&1 &
    echo $! >>"$dir/pids"
    export PULSE_SERVER="unix:$runtime/pulse/native"
    export PULSE_RUNTIME_PATH="$runtime/pulse"
    export XDG_RUNTIME_DIR="$runtime"
    export PIPEWIRE_RUNTIME_DIR="$runtime"
}

# True while every process of the server runs.
pulse_harness_running() {
    local pid
    [ -f "$1/pids" ] || return 1
    while read -r pid; do
        pulse_harness_alive "$pid" || return 1
    done <"$1/pids"
}

# Starts the server and exports PULSE_HARNESS_DIR, PULSE_HARNESS_SERVER, PULSE_SERVER,
# PULSE_RUNTIME_PATH, XDG_RUNTIME_DIR, SDL_AUDIODRIVER and PULSE_COOKIE. Returns non-zero
# when it cannot.
pulse_harness_start() {
    local server=${1:-${PULSE_HARNESS_SERVER:-pulseaudio}}
    case "$server" in
        pulseaudio | pipewire) ;;
        *) echo "pulse harness: unknown server '$server' (pulseaudio or pipewire)" >&2; return 1 ;;
    esac
    pulse_harness_check "$server" || return 1
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/moravel-pulse.XXXXXX") || return 1
    mkdir -p "$dir/runtime" "$dir/home"
    chmod 700 "$dir/runtime"
    export PULSE_HARNESS_DIR="$dir"
    export PULSE_HARNESS_SERVER="$server"
    # The program talks to the server itself unless SDL_AUDIODRIVER names a driver.
    export SDL_AUDIODRIVER=
    # Clients must not look for a cookie in the caller's home. A daemon started as at a log-in
    # asks for the one it makes in its own home.
    export PULSE_COOKIE="$dir/home/cookie"
    : >"$PULSE_COOKIE"
    if [ "$server" = pulseaudio ] && [ "${PULSE_HARNESS_LOGIN:-0}" = 1 ]; then
        export PULSE_COOKIE="$dir/home/.config/pulse/cookie"
    fi
    "pulse_harness_start_$server" "$dir" || {
        echo "pulse harness: $server did not start" >&2
        pulse_harness_stop
        return 1
    }

    local tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! pulse_harness_running "$dir"; then
            echo "pulse harness: $server did not start (logs: $dir)" >&2
            pulse_harness_stop
            return 1
        fi
        sleep 0.05
    done

    # Mono devices by default, as most microphones are: no server's own down-mix rule (PipeWire
    # adds 3 dB where PulseAudio averages) gets in the way of a level measured through them.
    local rate="rate=$PULSE_HARNESS_RATE channels=2 format=float32le"
    pulse_harness_load_mic && pulse_harness_load_cable || {
        echo "pulse harness: loading the devices failed (logs: $dir)" >&2
        pulse_harness_stop
        return 1
    }
    if [ "$server" = pulseaudio ]; then
        pactl load-module module-combine-sink sink_name=splitter slaves=fake_mic,virtual_cable \
            $rate sink_properties=device.description=Splitter >/dev/null || {
            pulse_harness_stop
            return 1
        }
    fi
    pactl set-default-source microphone && pactl set-default-sink virtual_cable || {
        pulse_harness_stop
        return 1
    }
    # The session manager links new streams; wait until it has the devices in its view.
    tries=0
    until pactl list short sources 2>/dev/null | grep -q '\bmicrophone\b'; do
        tries=$((tries + 1))
        [ "$tries" -gt 100 ] && break
        sleep 0.05
    done
}

pulse_harness_mic_shape() {
    echo "rate=${PULSE_HARNESS_MIC_RATE:-$PULSE_HARNESS_RATE}" \
        "channels=${PULSE_HARNESS_MIC_CHANNELS:-1} format=float32le"
}

pulse_harness_cable_shape() {
    echo "rate=${PULSE_HARNESS_CABLE_RATE:-$PULSE_HARNESS_RATE}" \
        "channels=${PULSE_HARNESS_CABLE_CHANNELS:-1} format=float32le"
}

# The fake mic and the microphone over its monitor, in the microphone's shape; their module
# numbers go to $PULSE_HARNESS_DIR/mic-modules.
pulse_harness_load_mic() {
    local shape modules
    shape=$(pulse_harness_mic_shape)
    # shellcheck disable=SC2086
    modules=$(pactl load-module module-null-sink sink_name=fake_mic $shape \
                  "sink_properties=\"device.description='Fake mic'\"" &&
              pactl load-module module-remap-source source_name=microphone \
                  master=fake_mic.monitor $shape source_properties=device.description=Microphone) ||
        return 1
    echo "$modules" >"$PULSE_HARNESS_DIR/mic-modules"
}

# The cable; its module number goes to $PULSE_HARNESS_DIR/cable-module.
pulse_harness_load_cable() {
    local module
    # shellcheck disable=SC2046
    module=$(pactl load-module module-null-sink sink_name=virtual_cable \
                 $(pulse_harness_cable_shape) \
                 "sink_properties=\"device.description='Virtual cable'\"") || return 1
    echo "$module" >"$PULSE_HARNESS_DIR/cable-module"
}

# Takes the cable or the microphone (with its fake mic) away, as an unplugged device goes.
pulse_harness_unload() {
    local module file
    case "$1" in
        cable) file="$PULSE_HARNESS_DIR/cable-module" ;;
        mic) file="$PULSE_HARNESS_DIR/mic-modules" ;;
        *) echo "pulse harness: unload cable or mic" >&2; return 2 ;;
    esac
    [ -f "$file" ] || return 1
    # The remap source before the sink it listens to.
    for module in $(sort -rn "$file"); do
        pactl unload-module "$module" || return 1
    done
    rm -f "$file"
}

# Brings the cable or the microphone back, as a device plugged in again.
pulse_harness_reload() {
    case "$1" in
        cable) pulse_harness_load_cable ;;
        mic) pulse_harness_load_mic ;;
        *) echo "pulse harness: reload cable or mic" >&2; return 2 ;;
    esac
}

# Stops the server's processes and starts them again in the same folders, as a new log-in would:
# what the user's configuration creates comes back, the harness's own devices do not.
pulse_harness_restart() {
    pulse_harness_kill "$PULSE_HARNESS_DIR"
    pulse_harness_resume
}

# Starts the server again in its folders after pulse_harness_kill.
pulse_harness_resume() {
    local dir=$PULSE_HARNESS_DIR server=$PULSE_HARNESS_SERVER
    "pulse_harness_start_$server" "$dir" || return 1
    local tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -gt 200 ] && return 1
        sleep 0.05
    done
}

# The latency probe: a stereo sink "probe" whose left channel is the fake mic's monitor and
# whose right channel is the cable's monitor. On PulseAudio two 1 ms loopbacks feed it. On
# PipeWire the monitor ports are linked to it directly, within the same graph cycle: 1 ms
# loopbacks there would shrink the whole graph's quantum to 48 frames and disturb what is
# measured. The probe is there only while latency is measured: pulse_harness_unprobe removes
# it again. PULSE_HARNESS_PROBE_CABLE names another sink in the cable's place.
pulse_harness_probe() {
    local rate="rate=$PULSE_HARNESS_RATE channels=2 format=float32le" modules ok
    local cable="${PULSE_HARNESS_PROBE_CABLE:-virtual_cable}"
    if [ "$PULSE_HARNESS_SERVER" = pipewire ]; then
        modules=$(pactl load-module module-null-sink sink_name=probe $rate \
                      "sink_properties=\"device.description='Probe'\"")
        ok=$?
        echo "$modules" >"$PULSE_HARNESS_DIR/probe-modules"
        [ "$ok" -eq 0 ] || return 1
        # A mono device's port is MONO, a wider one's first is FL.
        local micPort=MONO cablePort=MONO tries=0
        [ "${PULSE_HARNESS_MIC_CHANNELS:-1}" = 1 ] || micPort=FL
        [ "${PULSE_HARNESS_CABLE_CHANNELS:-1}" = 1 ] || cablePort=FL
        until pw-link "fake_mic:monitor_$micPort" probe:playback_FL 2>/dev/null; do
            tries=$((tries + 1))
            [ "$tries" -gt 100 ] && { pulse_harness_unprobe; return 1; }
            sleep 0.05
        done
        pw-link "$cable:monitor_$cablePort" probe:playback_FR ||
            { pulse_harness_unprobe; return 1; }
        return 0
    fi
    modules=$(pactl load-module module-null-sink sink_name=probe $rate \
                  "sink_properties=\"device.description='Probe'\"" &&
              pactl load-module module-loopback source=fake_mic.monitor sink=probe \
                  latency_msec=1 adjust_time=0 channels=1 channel_map=front-left &&
              pactl load-module module-loopback source="$cable.monitor" sink=probe \
                  latency_msec=1 adjust_time=0 channels=1 channel_map=front-right)
    ok=$?
    echo "$modules" >"$PULSE_HARNESS_DIR/probe-modules"
    [ "$ok" -eq 0 ] || { pulse_harness_unprobe; return 1; }
    # Wait until both loopbacks run into the probe.
    local tries=0
    until [ "$(pactl list short sink-inputs 2>/dev/null | awk -v p="$(pactl list short sinks |
              awk '$2 == "probe" {print $1}')" '$2 == p' | wc -l)" -ge 2 ]; do
        tries=$((tries + 1))
        [ "$tries" -gt 100 ] && return 1
        sleep 0.05
    done
}

pulse_harness_unprobe() {
    local module
    [ -f "$PULSE_HARNESS_DIR/probe-modules" ] || return 0
    # The loopbacks first, then the sink they play into.
    for module in $(sort -rn "$PULSE_HARNESS_DIR/probe-modules"); do
        pactl unload-module "$module" 2>/dev/null
    done
    rm -f "$PULSE_HARNESS_DIR/probe-modules"
}

# True while the process runs; a zombie child of this shell counts as ended.
pulse_harness_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null | tr -d " ") || return 1
    [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}

# Ends the server's processes (last started first) and keeps its folder.
pulse_harness_kill() {
    local dir=$1
    local -a pids=()
    local line
    if [ -n "$dir" ] && [ -f "$dir/pids" ]; then
        while read -r line; do pids+=("$line"); done <"$dir/pids"
    fi
    local pid index
    # Last started first: the pulse server, the session manager, pipewire, the bus.
    for ((index = ${#pids[@]} - 1; index >= 0; index--)); do
        pid=${pids[index]}
        pulse_harness_alive "$pid" || continue
        kill -TERM "$pid" 2>/dev/null
        local tries=0
        while pulse_harness_alive "$pid" && [ "$tries" -lt 50 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        pulse_harness_alive "$pid" && kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -f "$dir/pids"
}

# Stops the server started by pulse_harness_start and removes its folder.
pulse_harness_stop() {
    local dir=${1:-$PULSE_HARNESS_DIR}
    [ -n "$dir" ] && pulse_harness_kill "$dir"
    case "$dir" in
        */moravel-pulse.*) rm -rf "$dir" ;;
    esac
    unset PULSE_HARNESS_DIR PULSE_SERVER PULSE_COOKIE
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
        start)
            pulse_harness_start "${2:-}" >&2 || exit 1
            # The server must outlive this script: it was started in the background.
            for var in PULSE_HARNESS_DIR PULSE_HARNESS_SERVER PULSE_SERVER PULSE_RUNTIME_PATH \
                XDG_RUNTIME_DIR SDL_AUDIODRIVER PULSE_COOKIE PIPEWIRE_RUNTIME_DIR; do
                if [ -n "${!var+set}" ]; then printf 'export %s=%q\n' "$var" "${!var}"; fi
            done
            ;;
        probe)
            pulse_harness_probe
            ;;
        unprobe)
            pulse_harness_unprobe
            ;;
        unload | reload)
            "pulse_harness_$1" "${2:-}"
            ;;
        stop)
            pulse_harness_stop "${2:-${PULSE_HARNESS_DIR:-}}"
            ;;
        check)
            pulse_harness_check "${2:-}"
            ;;
        *)
            echo "usage: $0 start [pulseaudio|pipewire] | probe | unprobe | unload|reload cable|mic" \
                "| stop DIR | check [SERVER]" >&2
            exit 2
            ;;
    esac
fi
