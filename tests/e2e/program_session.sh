# Sourced by the end-to-end scripts that run the whole program: skips (exit 77) when the tools,
# the program or the private sound server's tools are missing, starts that server
# (PULSE_HARNESS_SERVER: pulseaudio, the default, or pipewire), and runs the program in tmux in
# a folder of its own. Expects $1 to be the build folder.
# Gives: $work, $server, fail, screen, wait_for, keys, start_program [SDL_DRIVER].

build_dir=${1:?usage: $(basename "$0") BUILD_DIR}
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

# A quiet machine, as for the live tests: idle CPUs kept out of deep sleep while the script
# runs (where /dev/cpu_dma_latency is writable), unless MORAVEL_LIVE_IDLE=1 asks for it as it is.
if [ "${MORAVEL_LIVE_IDLE:-0}" = 0 ] && [ -w /dev/cpu_dma_latency ] &&
    { exec 8>/dev/cpu_dma_latency; } 2>/dev/null; then
    printf '\0\0\0\0' >&8
    echo "machine: quiet (CPU wake-up latency held at 0)"
else
    echo "machine: idle"
fi

pulse_harness_start "$server" || fail "the private $server server did not start"
# In sanitizer builds: the sound servers' client libraries (libpulse under SDL, libpipewire)
# leave a few allocations of their own behind at exit; so does SDL, whose own threads' device
# entries are lost when its audio is shut down while a server comes and goes (SDL answers,
# through ALSA, while the native server is away). None of them is the program's.
printf 'leak:libpulse.so\nleak:libpipewire-0.3.so\nleak:libspa-\nleak:libSDL2-2.0.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# The program in tmux, in $work, through SDL's driver $1 when given; "EXIT STATUS n" shows when
# it ends.
start_program() {
    tmux_ new-session -d -s app -x 100 -y 40 -c "$work" \
        "env PULSE_SERVER='$PULSE_SERVER' PULSE_COOKIE='$PULSE_COOKIE' \
         SDL_AUDIODRIVER='${1:-}' XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR' \
         PIPEWIRE_RUNTIME_DIR='${PIPEWIRE_RUNTIME_DIR:-}' LSAN_OPTIONS='$LSAN_OPTIONS' \
         '$program' 2>'$work/stderr.txt'; echo \"EXIT STATUS \$?\"; sleep 600"
}
