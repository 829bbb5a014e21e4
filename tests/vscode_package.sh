#!/usr/bin/env bash
# Packages the VS Code extension into a .vsix with @vscode/vsce (pinned in
# its lockfile, as the client library is) and checks what it holds.
# usage: tests/vscode_package.sh OUTPUT_DIR
set -euo pipefail
mkdir -p "$1"
out=$(cd "$1" && pwd)
cd "$(dirname "$0")/../editors/vscode"
npm ci --no-audit --no-fund >/dev/null
vsix="$out/morvane-basic-$(node -p 'require("./package.json").version').vsix"
npx vsce package -o "$vsix" >/dev/null
listing=$(unzip -l "$vsix")
for entry in extension/package.json extension/extension.js extension/LICENSE.txt extension/readme.md \
    extension/language-configuration.json extension/syntaxes/morvane-basic.tmLanguage.json \
    extension/node_modules/vscode-languageclient/package.json; do
    grep -q " $entry\$" <<<"$listing" || { echo "the .vsix lacks $entry"; exit 1; }
done
if grep -q "node_modules/@vscode/vsce" <<<"$listing"; then echo "the .vsix holds the packager"; exit 1; fi
echo "packaged $vsix ($(wc -c <"$vsix") bytes)"
