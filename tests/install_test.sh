#!/usr/bin/env bash
# Installs into a fresh prefix, converts a listing and lists it back with the installed binaries.
# usage: install_test.sh CMAKE BUILD_DIR SOURCE_DIR
set -euo pipefail
cmake=$1 build=$2 source=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/morvane" || { echo "no bin/morvane under the prefix"; exit 1; }
test -x "$prefix/bin/morvane-list" || { echo "no bin/morvane-list under the prefix"; exit 1; }
test -x "$prefix/bin/morvane-check" || { echo "no bin/morvane-check under the prefix"; exit 1; }
test -x "$prefix/bin/morvane-renum" || { echo "no bin/morvane-renum under the prefix"; exit 1; }
for page in morvane.1 morvane-list.1 morvane-check.1 morvane-renum.1; do
    test -f "$prefix/share/man/man1/$page" || { echo "no share/man/man1/$page"; exit 1; }
done
"$prefix/bin/morvane" "$source/examples/hello.bas" "$prefix/hello.img"
cmp "$prefix/hello.img" "$source/tests/expected/hello.img"
"$prefix/bin/morvane-list" "$prefix/hello.img" "$prefix/hello.bas"
cmp "$prefix/hello.bas" "$source/examples/hello.bas"
"$prefix/bin/morvane-check" "$source/examples/hello.bas"
"$prefix/bin/morvane-renum" "$source/examples/hello.bas" "$prefix/renumbered.bas"
"$prefix/bin/morvane" "$prefix/renumbered.bas" "$prefix/renumbered.img"
# The language server, where it was built (it needs nlohmann-json).
if [ -x "$build/morvane-lsp" ]; then
    test -x "$prefix/bin/morvane-lsp" || { echo "no bin/morvane-lsp under the prefix"; exit 1; }
    test -f "$prefix/share/man/man1/morvane-lsp.1" || { echo "no share/man/man1/morvane-lsp.1"; exit 1; }
    "$prefix/bin/morvane-lsp" --version >/dev/null
fi
echo "installed binaries and manual pages; hello.bas converts and lists back as expected"
