-- Neovim's own LSP client on a zone, configured as the README says
-- (editors/neovim/korvane.lua): the diagnostics at their lines, a hover, and
-- a re-check after an edit in the buffer. Prints what it saw; the exit
-- status is 0 only when everything came as expected.
local zone = os.getenv('KORVANE_ZONE')
local failures = {}
local function expect(what, ok)
  io.stdout:write((ok and 'ok: ' or 'FAILED: ') .. what .. '\n')
  if not ok then table.insert(failures, what) end
end
local function wait(condition)
  return vim.wait(20000, condition, 20)
end

vim.cmd('luafile ' .. vim.fn.fnameescape(os.getenv('KORVANE_NEOVIM_CONFIG')))
vim.cmd('edit ' .. vim.fn.fnameescape(zone .. '/arenas/duel/arena.conf'))
local buffer = vim.api.nvim_get_current_buf()
expect('the arena is of filetype korvane', vim.bo.filetype == 'korvane')

-- The example arena's one finding: InitialSpeed=3500 on line 9 (8 from 0).
wait(function() return #vim.diagnostic.get(buffer) > 0 end)
local found = vim.diagnostic.get(buffer)
expect('one diagnostic', #found == 1)
if found[1] then
  expect('at line 9', found[1].lnum == 8)
  expect('an error from korvane', found[1].severity == vim.diagnostic.severity.ERROR and found[1].source == 'korvane')
  expect('saying why: ' .. found[1].message,
    found[1].message == 'InitialSpeed is greater than MaximumSpeed. [Messes up greening and ?status]')
end

local replies = vim.lsp.buf_request_sync(buffer, 'textDocument/hover', {
  textDocument = { uri = vim.uri_from_bufnr(buffer) },
  position = { line = 8, character = 3 },
}, 20000)
local hover = ''
for _, reply in pairs(replies or {}) do
  if reply.result then hover = reply.result.contents.value end
end
expect('a hover on the key names its value: ' .. hover,
  hover:find('InitialSpeed = 3500 at arena.conf:9', 1, true) ~= nil)

-- Fixed in the buffer, unsaved: the finding goes.
vim.api.nvim_buf_set_lines(buffer, 9, 10, false, { 'MaximumSpeed=3600' })
expect('re-checked after the edit', wait(function() return #vim.diagnostic.get(buffer) == 0 end))
-- And broken again: it comes back.
vim.api.nvim_buf_set_lines(buffer, 9, 10, false, { 'MaximumSpeed=3500' })
expect('re-checked after a second edit', wait(function()
  local now = vim.diagnostic.get(buffer)
  return #now == 1 and now[1].message:find('is equal to', 1, true) ~= nil
end))

vim.lsp.stop_client(vim.lsp.get_active_clients())
io.stdout:write(#failures == 0 and 'all passed\n' or (#failures .. ' failed\n'))
vim.cmd(#failures == 0 and 'qall!' or 'cquit! 1')
