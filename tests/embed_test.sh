#!/usr/bin/env bash
# Installs the library into a scratch prefix, builds examples/embed.c
# against the installed package twice (find_package and pkg-config), and
# compares what it writes with the command line's image and message.
# usage: tests/embed_test.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
command -v pkg-config >/dev/null && command -v cc >/dev/null || { echo "needs pkg-config and cc"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S examples/embed-cmake -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name morvane.pc)")
# A shared library exports the header's functions and nothing else, under
# a versioned name.
shared=$(find "$work/prefix" -name 'libmorvane.so.0' | head -1)
if [ -n "$shared" ]; then
    exported=$(nm -D --defined-only "$shared" | awk '{print $3}' | sort)
    others=$(grep -v '^morvane_' <<<"$exported" || true)
    if [ -n "$others" ]; then
        echo "the shared library exports more than morvane_*:"; echo "$others" | head; exit 1
    fi
    [ "$(wc -l <<<"$exported")" = "$(grep -c '^MORVANE_API' include/morvane.h)" ] ||
        { echo "the shared library does not export each function of include/morvane.h"; exit 1; }
    readelf -d "$shared" | grep -q 'SONAME.*\[libmorvane\.so\.0\]' ||
        { echo "the shared library's soname is not libmorvane.so.0"; exit 1; }
    echo "the shared library exports the $(wc -l <<<"$exported") functions of include/morvane.h alone, as libmorvane.so.0"
fi
# A shared library is found where it was installed.
LD_LIBRARY_PATH=$(dirname "$PKG_CONFIG_PATH")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export PKG_CONFIG_PATH LD_LIBRARY_PATH
cc -std=c99 examples/embed.c $(pkg-config --cflags --libs morvane) -o "$work/embed-pc"
printf '10 A\n5 B\n' >"$work/unordered.bas"
failed=0
for listing in examples/*.bas "$work/unordered.bas"; do
    cp "$listing" "$work/listing.bas"
    "$build/morvane" "$work/listing.bas" "$work/cli.img" 2>"$work/cli.err" && cli=0 || cli=$?
    for embed in "$work/cmake/embed" "$work/embed-pc"; do
        "$embed" "$work/listing.bas" "$work/api.img" 2>"$work/api.err" && api=0 || api=$?
        if [ "$api" != "$cli" ] || ! cmp -s "$work/cli.img" "$work/api.img" ||
            ! cmp -s "$work/cli.err" "$work/api.err"; then
            echo "embed differs from morvane on $listing ($embed: status $api, morvane $cli)"
            failed=1
        fi
    done
done
[ "$failed" = 0 ] && echo "embed, built against the installed package twice, gives morvane's images and messages"
exit "$failed"
