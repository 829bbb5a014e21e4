#!/usr/bin/env bash
# Cross-compiles the programs for Windows with mingw-w64 and runs them
# under wine: every image and listing of the examples and of the shared
# corpus must be byte-identical to the Linux build's, as must each
# listing renumbered with its findings, and so must the
# usage text and the messages for a missing file and for one file named
# twice.
# usage: tests/windows_test.sh LINUX_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
linux=$(cd "$1" && pwd)
windows=build-windows
cmake -S . -B "$windows" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
    -DMORVANE_TESTS=OFF -DMORVANE_WERROR=ON >/dev/null
cmake --build "$windows" -j2 --target morvane morvane-list morvane-renum >/dev/null
# The language server, where nlohmann-json was found (its headers serve both builds).
lsp=no
if [ -x "$linux/morvane-lsp" ] && cmake --build "$windows" -j2 --target morvane-lsp >/dev/null 2>&1; then lsp=yes; fi
export WINEDEBUG=-all WINEPREFIX=$PWD/$windows/wine
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wineboot --init >/dev/null 2>&1 # its first start says what it set up
# wine as the programs are run: from the work folder, with relative names.
# Prints what the program wrote on standard error and leaves its exit status in status.txt.
run() {
    local status=0
    (cd "$work" && wine "$@" 2>err.txt >/dev/null) || status=$?
    echo "$status" >"$work/status.txt"
    cat "$work/err.txt"
}
listings=(examples/*.bas)
[ -d ../shared/corpus ] && listings+=(../shared/corpus/*/*.bas)
failed=0 count=0
for listing in "${listings[@]}"; do
    cp "$listing" "$work/in.bas"
    status=0
    (cd "$work" && "$linux/morvane" in.bas linux.img 2>linux.err) || status=$?
    # wine under load now and then fails a run of its own; a real difference shows twice.
    for try in 1 2; do
        run "$PWD/$windows/morvane.exe" in.bas windows.img >"$work/windows.err"
        if cmp -s "$work/linux.img" "$work/windows.img" && cmp -s "$work/linux.err" "$work/windows.err" &&
            [ "$status" = "$(cat "$work/status.txt")" ]; then
            break
        fi
        if [ "$try" = 2 ]; then
            echo "morvane differs on Windows: $listing"
            diff <(od -An -tx1 "$work/linux.img") <(od -An -tx1 "$work/windows.img") | head -5 || true
            diff "$work/linux.err" "$work/windows.err" | head -5 || true
            failed=1
        fi
    done
    if [ -s "$work/linux.img" ]; then
        "$linux/morvane-list" "$work/linux.img" "$work/linux.lst" 2>/dev/null || true
        cp "$work/linux.img" "$work/image.img"
        run "$PWD/$windows/morvane-list.exe" image.img windows.lst >/dev/null
        cmp -s "$work/linux.lst" "$work/windows.lst" || { echo "morvane-list differs on Windows: $listing"; failed=1; }
    fi
    status=0
    (cd "$work" && "$linux/morvane-renum" --step 5 in.bas linux.ren 2>linux.err) || status=$?
    run "$PWD/$windows/morvane-renum.exe" --step 5 in.bas windows.ren >"$work/windows.err"
    if ! cmp -s "$work/linux.err" "$work/windows.err" || [ "$status" != "$(cat "$work/status.txt")" ] ||
        { [ "$status" = 0 ] && ! cmp -s "$work/linux.ren" "$work/windows.ren"; }; then
        echo "morvane-renum differs on Windows: $listing"
        failed=1
    fi
    rm -f "$work/linux.ren" "$work/windows.ren"
    count=$((count + 1))
done
# Messages: the usage text, a missing file, one file named twice.
check_message() {
    local expected=$1; shift
    local got; got=$(run "$@")
    [ "$got" = "$expected" ] || { echo "on Windows: '$got', not '$expected'"; failed=1; }
}
check_message "$(printf 'morvane version 0.5 : usage\n  morvane infile outfile')" "$PWD/$windows/morvane.exe"
check_message "Can't open input file missing.bas" "$PWD/$windows/morvane.exe" missing.bas out.img
cp examples/hello.bas "$work/same.bas"
check_message "Input and output are the same file .\\same.bas" "$PWD/$windows/morvane.exe" same.bas '.\same.bas'
cmp -s examples/hello.bas "$work/same.bas" || { echo "the listing named twice was changed on Windows"; failed=1; }
# The language server: a session's answers, diagnostics among them, byte for byte the Linux build's.
if [ "$lsp" = yes ]; then
    frame() { local LC_ALL=C; printf 'Content-Length: %d\r\n\r\n%s' "${#1}" "$1"; }
    uri='"uri":"file:///c:/work/game.bas"'
    {
        frame '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}}'
        frame '{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{'"$uri"',"version":1,"text":"10 PRINT \"\u30a2\":GOTO 99\r\n5 SCORE=1\r\n"}}}'
        frame '{"jsonrpc":"2.0","id":2,"method":"textDocument/hover","params":{"textDocument":{'"$uri"'},"position":{"line":0,"character":12}}}'
        frame '{"jsonrpc":"2.0","id":3,"method":"shutdown"}'
        frame '{"jsonrpc":"2.0","method":"exit"}'
    } >"$work/session"
    status=0
    "$linux/morvane-lsp" <"$work/session" >"$work/linux.lsp" || status=$?
    exe=$PWD/$windows/morvane-lsp.exe
    (cd "$work" && wine "$exe" <session >windows.lsp 2>/dev/null) || true
    if ! grep -q '"code":"missing-target"' "$work/linux.lsp" || [ "$status" != 0 ] ||
        ! cmp -s "$work/linux.lsp" "$work/windows.lsp"; then
        echo "morvane-lsp differs on Windows"
        failed=1
    fi
fi
[ "$failed" = 0 ] && echo "$count listings: images, listings, renumbered listings and messages on Windows are the Linux build's" &&
    [ "$lsp" = yes ] && echo "morvane-lsp on Windows answers initialize, diagnostics and hover as on Linux"
exit "$failed"
