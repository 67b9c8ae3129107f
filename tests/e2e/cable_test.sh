#!/usr/bin/env bash
# The virtual cable on a private sound server (PULSE_HARNESS_SERVER: pulseaudio, the default, or
# pipewire): the README's own pactl lines, and scripts/virtual-cable.sh's create, status,
# remove, persist (across a restart of the server, as at a new log-in) and unpersist.
# Usage: bash cable_test.sh BUILD_DIR     (exit 77 = skipped)
set -uo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cable="$source_dir/scripts/virtual-cable.sh"
# shellcheck source=../../scripts/pulse-harness.sh
source "$source_dir/scripts/pulse-harness.sh"
server=${PULSE_HARNESS_SERVER:-pulseaudio}
if ! pulse_harness_check "$server" 2>/dev/null; then
    echo "SKIPPED: the tools of a private $server server are not installed"
    exit 77
fi

fail() {
    echo "FAILED ($server): $*"
    exit 1
}
trap 'pulse_harness_stop' EXIT

# The server starts as at a log-in, from the user's own configuration in the harness's home.
export PULSE_HARNESS_LOGIN=1
pulse_harness_start "$server" || fail "the private $server server did not start"
export HOME="$PULSE_HARNESS_DIR/home" XDG_CONFIG_HOME="$PULSE_HARNESS_DIR/home/.config"

description_of() {  # the description of a sink or source by its name
    pactl list "$1" | awk -v n="$2" '/^\tName: / { here = ($2 == n) } here && /^\tDescription: / {
        sub(/^\tDescription: /, ""); print; exit }'
}
modules() { pactl list short modules | wc -l; }
harness_sinks() { pactl list short sinks | awk '$2 == "fake_mic" || $2 == "virtual_cable"' | wc -l; }

# 1. The README's lines, exactly as written in its section "By hand".
readme_lines=$(awk '/^### By hand/ { on = 1; next } /^##/ { on = 0 } on && /^    pactl / { sub(/^    /, ""); print }' \
    "$source_dir/README.md")
[ "$(wc -l <<<"$readme_lines")" -eq 2 ] || fail "the README's section By hand has no two pactl lines"
loaded=()
while IFS= read -r line; do
    number=$(bash -c "$line") || fail "the README's line failed: $line"
    loaded+=("$number")
done <<<"$readme_lines"
[ "$(description_of sinks moravel_cable)" = "Moravel cable" ] || fail "README: no sink 'Moravel cable'"
[ "$(description_of sources moravel_microphone)" = "Moravel microphone" ] ||
    fail "README: no source 'Moravel microphone'"
for ((i = ${#loaded[@]} - 1; i >= 0; i--)); do pactl unload-module "${loaded[i]}" || fail "unload ${loaded[i]}"; done
echo "README lines: both devices made with their names, and unloaded by number"

# 2. The script: create twice, status, remove, and nothing else touched.
before=$(modules)
bash "$cable" create >/dev/null || fail "create failed"
[ "$(description_of sinks moravel_cable)" = "Moravel cable" ] || fail "create: no 'Moravel cable'"
[ "$(description_of sources moravel_microphone)" = "Moravel microphone" ] || fail "create: no 'Moravel microphone'"
made=$(modules)
bash "$cable" create >/dev/null || fail "a second create failed"
[ "$(modules)" = "$made" ] || fail "a second create loaded more modules"
grep -qx "Moravel cable: present" <<<"$(bash "$cable" status)" || fail "status does not see the cable"
sinks_before=$(harness_sinks)
bash "$cable" remove >/dev/null || fail "remove failed"
[ "$(modules)" = "$before" ] || fail "remove left $(($(modules) - before)) modules or took others"
[ "$(harness_sinks)" = "$sinks_before" ] || fail "remove took the harness's own null sinks"
[ -z "$(description_of sinks moravel_cable)" ] || fail "remove left the cable"
echo "script: create is idempotent, remove unloads exactly what create made"

# 3. persist: the cable is there again after the server restarts; unpersist takes it back.
bash "$cable" persist >/dev/null || fail "persist failed"
pulse_harness_restart || fail "the server did not start again"
[ "$(description_of sinks moravel_cable)" = "Moravel cable" ] || fail "persist: no cable after a restart"
[ "$(description_of sources moravel_microphone)" = "Moravel microphone" ] ||
    fail "persist: no microphone after a restart"
grep -q "^At log-in: created" <<<"$(bash "$cable" status)" || fail "status does not see the log-in entry"
bash "$cable" unpersist >/dev/null || fail "unpersist failed"
pulse_harness_restart || fail "the server did not start again"
[ -z "$(description_of sinks moravel_cable)" ] || fail "unpersist: the cable still comes back"
[ -z "$(find "$XDG_CONFIG_HOME" -name 'default.pa' -o -name 'moravel-cable.conf')" ] ||
    fail "unpersist left its file behind"
echo "script: persist survives a restart of the server, unpersist removes every line it wrote"

# 4. Without pactl the script says what to install.
message=$(PATH=/nonexistent /bin/bash "$cable" create 2>&1)
grep -q "pulseaudio-utils" <<<"$message" || fail "no word of the package that brings pactl: $message"
echo "PASSED ($server)"
