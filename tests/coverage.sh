#!/usr/bin/env bash
# Runs the test suite on a gcov-instrumented build and prints the line and
# branch coverage of src/. Needs gcovr (Debian: apt-get install gcovr).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v gcovr >/dev/null || { echo "coverage.sh: gcovr is not installed (apt-get install gcovr)" >&2; exit 1; }
build=build-coverage
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_COVERAGE=ON >/dev/null
# Counts from an earlier build would not match the new objects.
find "$build" -name '*.gcda' -delete 2>/dev/null || true
cmake --build "$build" -j2 >/dev/null
find "$build" -name '*.gcda' -delete
# Some tests run the programs as another user (nobody): their counts are
# kept too if any user may write them.
umask 000
chmod -R a+rwX "$build"
ctest --test-dir "$build" -j2 --output-on-failure >/dev/null
# Branches that only exceptions take are left out: the program throws none;
# only the tests' in-process runs unwind through it.
gcovr --root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches \
    --print-summary --txt "$build/coverage.txt" "$build"
cat "$build/coverage.txt"
# The same apart: the core, its interface and the four converting programs;
# and the language server, where it was built, whose lines also count the
# branches of the JSON library's templates (a value's destruction, say).
echo "-- the core, the library and the converting programs (src/ but the language server):"
gcovr --root . --filter 'src/' --exclude 'src/lsp/' --exclude 'src/programs/morvane_lsp.cpp' \
    --exclude-throw-branches --exclude-unreachable-branches --print-summary -o "$build/coverage-part.txt" "$build"
if [ -f "$build/morvane-lsp" ]; then
    echo "-- the language server (src/lsp/, src/programs/morvane_lsp.cpp):"
    gcovr --root . --filter 'src/lsp/' --filter 'src/programs/morvane_lsp.cpp' \
        --exclude-throw-branches --exclude-unreachable-branches --print-summary -o "$build/coverage-part.txt" "$build"
fi
