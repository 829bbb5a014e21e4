#!/usr/bin/env bash
# Neovim's own LSP client (headless) on a listing, in UTF-8 as an editor
# holds it: the diagnostics it receives from morvane-lsp are the findings
# morvane-check prints for the same file. A corpus listing where the shared
# corpus stands beside the project, else an example; a line of mistakes
# after it, so that there are findings to compare.
# usage: tests/neovim_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
command -v nvim >/dev/null || { echo "neovim is not installed"; exit 77; }
[ -x "$build/morvane-lsp" ] || { echo "morvane-lsp was not built"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The first Japanese corpus listing that converts, listed back in UTF-8.
listing=$source/examples/nihongo.bas
for candidate in "$source"/../shared/corpus/japanese/*.bas; do
    [ -f "$candidate" ] || break
    if "$build/morvane" "$candidate" "$work/listing.img" 2>/dev/null; then listing=$candidate; break; fi
done
"$build/morvane" "$listing" "$work/listing.img"
"$build/morvane-list" --encoding=utf-8 "$work/listing.img" "$work/listing.bas" || true
printf '5 SCORE=1:GOTO 99:A$="今"\n' >>"$work/listing.bas"
cat >"$work/init.lua" <<'LUA'
local done = false
vim.lsp.handlers['textDocument/publishDiagnostics'] = function(_, result)
  local lines = {}
  for _, d in ipairs(result.diagnostics) do
    table.insert(lines, string.format('%d:%d: %s: %s [%s]', d.range.start.line + 1,
      d.range.start.character + 1, d.severity == 1 and 'error' or 'warning', d.message, d.code))
  end
  vim.fn.writefile(lines, vim.env.MORVANE_DIAGNOSTICS)
  done = true
end
vim.api.nvim_create_autocmd('VimEnter', { callback = function()
  local client = vim.lsp.start_client({ name = 'morvane', cmd = { vim.env.MORVANE_LSP } })
  vim.lsp.buf_attach_client(0, client)
  if vim.wait(20000, function() return done end, 20) then vim.cmd('qa!') else vim.cmd('cquit 3') end
end })
LUA
MORVANE_LSP="$build/morvane-lsp" MORVANE_DIAGNOSTICS="$work/diagnostics.txt" \
    nvim --headless --noplugin -n -i NONE -u "$work/init.lua" "$work/listing.bas" </dev/null >/dev/null 2>&1 ||
    { echo "neovim received no diagnostics"; exit 1; }
"$build/morvane-check" --encoding=utf-8 "$work/listing.bas" | sed "s|^$work/listing.bas:||" >"$work/checked.txt" || true
if ! diff -u "$work/checked.txt" "$work/diagnostics.txt"; then
    echo "neovim's diagnostics differ from morvane-check's"
    exit 1
fi
echo "neovim $(nvim --version | head -1 | cut -d' ' -f2): $(wc -l <"$work/diagnostics.txt") diagnostics, as morvane-check's, on $(basename "$listing")"
