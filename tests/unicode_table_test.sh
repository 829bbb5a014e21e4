#!/usr/bin/env bash
# Regenerates the Unicode table from the C library's SHIFT_JIS and
# WINDOWS-31J charmaps and compares it with the checked-in one; skipped
# (status 77) where the charmaps are not installed.
# usage: unicode_table_test.sh MAKE_UNICODE_TABLE CHECKED_IN_TABLE
set -euo pipefail
charmaps=/usr/share/i18n/charmaps
for name in SHIFT_JIS WINDOWS-31J; do
    if [ ! -f "$charmaps/$name.gz" ]; then
        echo "skipped: $charmaps/$name.gz is not installed (Debian: apt-get install locales)"
        exit 77
    fi
done
# The generator refuses what it cannot make a table of, saying so.
if "$1" 2>/dev/null; then echo "no usage error without arguments" >&2; exit 1; fi
if "$1" /nonexistent /nonexistent 2>/dev/null; then echo "no error for an unreadable charmap" >&2; exit 1; fi
if "$1" /dev/null /dev/null 2>/dev/null; then echo "no error for empty charmaps" >&2; exit 1; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
zcat "$charmaps/SHIFT_JIS.gz" >"$work/SHIFT_JIS"
zcat "$charmaps/WINDOWS-31J.gz" >"$work/WINDOWS-31J"
"$1" "$work/SHIFT_JIS" "$work/WINDOWS-31J" >"$work/unicode_table.cpp"
if ! diff -u "$2" "$work/unicode_table.cpp"; then
    echo "the checked-in table differs from what the charmaps give: regenerate it with src/tools/make_unicode_table" >&2
    exit 1
fi
echo "the table is what the charmaps give"
