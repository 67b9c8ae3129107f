#!/usr/bin/env bash
# Installs the packages Moravel needs to build, run and test: Debian's with apt, or on macOS
# Homebrew's formulae.
# Safe to run again: when everything is present it returns at once without touching either.
set -euo pipefail

if [ "$(uname -s)" = Darwin ]; then
    formulae=(sdl2 sound-touch speexdsp libsndfile googletest google-benchmark pkgconf cmake)
    if ! command -v brew >/dev/null 2>&1; then
        echo "Moravel needs Homebrew (https://brew.sh) on macOS, then:" >&2
        echo "  brew install ${formulae[*]}" >&2
        exit 1
    fi
    missing=()
    for formula in "${formulae[@]}"; do
        brew list --versions "$formula" >/dev/null 2>&1 || missing+=("$formula")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        brew install "${missing[@]}"
    fi
    exit 0
fi

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libpipewire-0.3-dev libpulse-dev libsoundtouch-dev libspeexdsp-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  pulseaudio pulseaudio-utils pipewire pipewire-pulse pipewire-bin wireplumber dbus
  tmux sox espeak-ng procps
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo >/dev/null 2>&1; then
  run=(sudo)
else
  echo "Moravel needs these packages; please install them as root:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${run[@]}" apt-get update -qq
"${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
