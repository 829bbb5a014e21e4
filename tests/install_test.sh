#!/usr/bin/env bash
# Installs into a fresh prefix and converts a listing with the installed binary.
# usage: install_test.sh CMAKE BUILD_DIR SOURCE_DIR
set -euo pipefail
cmake=$1 build=$2 source=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/morvane" || { echo "no bin/morvane under the prefix"; exit 1; }
test -f "$prefix/share/man/man1/morvane.1" || { echo "no share/man/man1/morvane.1"; exit 1; }
"$prefix/bin/morvane" "$source/examples/hello.bas" "$prefix/hello.img"
cmp "$prefix/hello.img" "$source/tests/expected/hello.img"
echo "installed binary and manual page; hello.bas converts as expected"
