#!/bin/sh
# Neovim headless with its built-in LSP client on a copy of the example zone:
#   tests/lsp/neovim_test.sh KORVANE_CHECK
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$root/examples/zone" "$work/zone"
cd "$work"
KORVANE_ZONE=$work/zone KORVANE_NEOVIM_CONFIG=$root/editors/neovim/korvane.lua \
  timeout 120 nvim --headless -u NONE -i NONE -n \
  --cmd "let g:korvane_check = '$1'" -c "luafile $here/neovim_test.lua" 2>&1
