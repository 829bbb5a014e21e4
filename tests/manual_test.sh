#!/usr/bin/env bash
# Formats the manual pages with every groff warning enabled; any warning fails.
set -euo pipefail
command -v groff >/dev/null || { echo "groff is not installed"; exit 77; }
warnings=$(for page in "$@"; do groff -man -Tutf8 -ww -z "$page" 2>&1; done)
if [ -n "$warnings" ]; then
    echo "$warnings"
    exit 1
fi
echo "manual pages format without warnings"
