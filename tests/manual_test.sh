#!/usr/bin/env bash
# Formats the manual page with every groff warning enabled; any warning fails.
set -euo pipefail
command -v groff >/dev/null || { echo "groff is not installed"; exit 77; }
warnings=$(groff -man -Tutf8 -ww -z "$1" 2>&1)
if [ -n "$warnings" ]; then
    echo "$warnings"
    exit 1
fi
echo "manual page formats without warnings"
