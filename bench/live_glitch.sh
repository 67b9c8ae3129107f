#!/usr/bin/env bash
# The live path through real sound servers, beside each server's own loopback in the same run
# and, into a cable of its own, in the same seconds as each case of the program:
# PulseAudio and PipeWire, processing off and a chain (Robot then Baby Pitch, Echo, noise
# removal), each case on a quiet machine (/dev/cpu_dma_latency held at 0, where it is writable)
# and on the machine as it is, then under load (two busy processes at normal priority).
# Prints figures; passes or fails nothing. --idle-only measures only the machine as it is.
#   bench/live_glitch.sh [--seconds N] [--build DIR] [--idle-only]   (600 s of tone per case)
set -euo pipefail
seconds=600
build=build
machines=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --idle-only) machines=(--machine idle); shift ;;
        *) echo "usage: $0 [--seconds N] [--build DIR] [--idle-only]" >&2; exit 2 ;;
    esac
done
bench="$build/bench/live_glitch_bench"
[ -x "$bench" ] || { echo "no $bench: build the project first (see README.md)" >&2; exit 1; }

echo "== each case on a quiet machine (/dev/cpu_dma_latency held at 0) and idle, $seconds s of tone"
"$bench" --seconds "$seconds" --beside ${machines[@]+"${machines[@]}"}
echo "== under load: two busy processes, $seconds s of tone per case"
"$bench" --seconds "$seconds" --beside --load 2 --machine idle
