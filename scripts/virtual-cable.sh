#!/usr/bin/env bash
# mvconsole-cable: a virtual audio cable for Moravel on PulseAudio or PipeWire (through its
# PulseAudio emulation, pipewire-pulse).
#
#   mvconsole-cable create      the cable "Moravel cable" (an output) and, over its monitor, the
#                               source "Moravel microphone" for apps that list only real sources
#   mvconsole-cable remove      unloads exactly what create loaded, nothing else
#   mvconsole-cable persist     makes the sound server create the cable at every log-in
#   mvconsole-cable unpersist   takes that back again
#   mvconsole-cable status      which server runs, and whether the cable exists and persists
#
# Moravel plays into "Moravel cable"; chat, recording and streaming apps take "Moravel
# microphone" (or "Monitor of Moravel cable") as their microphone.
set -uo pipefail

program=mvconsole-cable
sink=moravel_cable
source=moravel_microphone
sink_args="module-null-sink sink_name=$sink sink_properties=\"device.description='Moravel cable'\""
source_args="module-remap-source master=$sink.monitor source_name=$source source_properties=\"device.description='Moravel microphone'\""
marker="# Moravel cable (written by $program; $program unpersist removes it)"

say() { printf '%s\n' "$*"; }
fail() { printf '%s: %s\n' "$program" "$*" >&2; exit 1; }

usage() {
    say "usage: $program create | remove | persist | unpersist | status"
    exit 2
}

# macOS has no PulseAudio to make a cable in: a loopback driver adds one.
macos_cable() {
    say "On macOS the virtual cable is a loopback audio driver, installed once:"
    say "  brew install --cask blackhole-2ch"
    say "(or any loopback driver). It adds an output and an input named \"BlackHole 2ch\": choose"
    say "the output as Moravel's playback device, and the input as the microphone in the chat,"
    say "recording or streaming app. The driver is removed with"
    say "  brew uninstall --cask blackhole-2ch"
    exit 1
}

need_server() {
    [ "$(uname -s)" = Darwin ] && macos_cable
    command -v pactl >/dev/null 2>&1 ||
        fail "pactl is missing; it comes with the package pulseaudio-utils (sudo apt install pulseaudio-utils)"
    server_info=$(pactl info 2>/dev/null) ||
        fail "no sound server answers (neither PulseAudio nor PipeWire's pipewire-pulse is running)"
}

# "pipewire" or "pulseaudio", from the server the last need_server asked.
server_kind() {
    if grep -q '^Server Name: .*PipeWire' <<<"$server_info"; then echo pipewire; else echo pulseaudio; fi
}

server_name() { sed -n 's/^Server Name: //p' <<<"$server_info"; }

has_sink() { pactl list short sinks 2>/dev/null | awk -v n="$sink" '$2 == n {f = 1} END {exit !f}'; }
has_source() { pactl list short sources 2>/dev/null | awk -v n="$source" '$2 == n {f = 1} END {exit !f}'; }

# Indices of the loaded modules of ours: the module name and our device name in its arguments.
our_modules() {
    pactl list short modules 2>/dev/null | awk -v s="sink_name=$sink" -v r="source_name=$source" '
        ($2 == "module-null-sink" && index($0, s)) || ($2 == "module-remap-source" && index($0, r)) { print $1 }'
}

create() {
    need_server
    if ! has_sink; then
        pactl load-module module-null-sink sink_name=$sink \
            "sink_properties=\"device.description='Moravel cable'\"" >/dev/null ||
            fail "the server refused to make the cable"
    fi
    if ! has_source; then
        pactl load-module module-remap-source master=$sink.monitor source_name=$source \
            "source_properties=\"device.description='Moravel microphone'\"" >/dev/null ||
            fail "the server refused to make the microphone over the cable"
    fi
    say "Moravel cable is ready on $(server_name): in Moravel choose \"Moravel cable\" as the"
    say "playback device; in the other app choose \"Moravel microphone\" as its microphone."
}

remove() {
    need_server
    local modules module
    modules=$(our_modules)
    if [ -z "$modules" ]; then
        say "There is no Moravel cable to remove."
        return 0
    fi
    # The source over the monitor first, then the cable it reads.
    for module in $(sort -rn <<<"$modules"); do
        pactl unload-module "$module" || fail "the server did not unload module $module"
    done
    say "Moravel cable removed."
    if [ -n "$(persisted_file)" ]; then
        say "It still comes back at the next log-in: run '$program unpersist' to stop that."
    fi
}

config_home() { echo "${XDG_CONFIG_HOME:-$HOME/.config}"; }

# The start-up file the running server reads, and whether ours is in it.
persist_path() {
    if [ "$(server_kind)" = pipewire ]; then
        echo "$(config_home)/pipewire/pipewire-pulse.conf.d/moravel-cable.conf"
    else
        echo "$(config_home)/pulse/default.pa"
    fi
}

persisted_file() {
    local path
    path=$(persist_path)
    if [ -f "$path" ] && grep -qF "$marker" "$path"; then echo "$path"; fi
}

persist() {
    need_server
    local path
    path=$(persist_path)
    if [ -n "$(persisted_file)" ]; then
        say "Moravel cable already comes with every log-in ($path)."
        return 0
    fi
    mkdir -p "$(dirname "$path")" || fail "cannot make the folder of $path"
    if [ "$(server_kind)" = pipewire ]; then
        # A file of its own in pipewire-pulse's folder of additions; the commands are JSON
        # strings, so the quotes inside the arguments are escaped.
        {
            say "$marker"
            say "pulse.cmd = ["
            say "    { cmd = \"load-module\" args = \"${sink_args//\"/\\\"}\" flags = [ ] }"
            say "    { cmd = \"load-module\" args = \"${source_args//\"/\\\"}\" flags = [ ] }"
            say "]"
        } >"$path" || fail "cannot write $path"
    else
        # PulseAudio reads ~/.config/pulse/default.pa instead of the system's: a new one starts
        # by including the system's. Every line of ours carries the marker's block.
        local include=""
        [ -f "$path" ] || include=".include /etc/pulse/default.pa"
        {
            [ -z "$include" ] || say "$include"
            say "$marker"
            say "load-module $sink_args"
            say "load-module $source_args"
            say "# end of Moravel cable"
        } >>"$path" || fail "cannot write $path"
    fi
    say "Moravel cable now comes with every log-in ($path)."
}

unpersist() {
    need_server
    local path
    path=$(persisted_file)
    if [ -z "$path" ]; then
        say "Moravel cable was not set to come with the log-in."
        return 0
    fi
    if [ "$(server_kind)" = pipewire ]; then
        rm -f "$path" || fail "cannot remove $path"
    else
        local kept
        kept=$(awk -v m="$marker" '
            $0 == m { skip = 1; next }
            skip && $0 == "# end of Moravel cable" { skip = 0; next }
            !skip { print }' "$path")
        # A file that held only our block and the include we put before it goes entirely.
        if [ -z "$(grep -v -x '.include /etc/pulse/default.pa' <<<"$kept" | grep -v '^[[:space:]]*$')" ]; then
            rm -f "$path" || fail "cannot remove $path"
        else
            printf '%s\n' "$kept" >"$path" || fail "cannot write $path"
        fi
    fi
    say "Moravel cable no longer comes with the log-in (it stays until '$program remove')."
}

status() {
    need_server
    say "Sound server: $(server_name)"
    if has_sink; then say "Moravel cable: present"; else say "Moravel cable: absent"; fi
    if has_source; then say "Moravel microphone: present"; else say "Moravel microphone: absent"; fi
    local path
    path=$(persisted_file)
    if [ -n "$path" ]; then say "At log-in: created ($path)"; else say "At log-in: not created"; fi
}

[ $# -eq 1 ] || usage
case "$1" in
    create | remove | persist | unpersist | status) "$1" ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//' ;;
    *) usage ;;
esac
