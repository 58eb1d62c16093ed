-- Korvane in Neovim (0.7 and later): .conf files of a zone and .cfg files
-- are of filetype "korvane", and korvane-check --lsp checks them as you
-- type. Put this file in ~/.config/nvim/plugin/ (or :luafile it).
local program = vim.g.korvane_check or 'korvane-check'

-- A zone's .conf files: its arenas' (arenas/NAME/*.conf) and shared ones (conf/**/*.conf).
vim.api.nvim_create_autocmd({ 'BufRead', 'BufNewFile' }, {
  pattern = { '*.cfg', '*/arenas/*.conf', '*/conf/*.conf' },
  callback = function() vim.bo.filetype = 'korvane' end,
})

local client_id
vim.api.nvim_create_autocmd('FileType', {
  pattern = 'korvane',
  callback = function(args)
    if not client_id or not vim.lsp.get_client_by_id(client_id) then
      client_id = vim.lsp.start_client({
        name = 'korvane',
        cmd = { program, '--lsp' },
        root_dir = vim.fn.getcwd(),
      })
    end
    vim.lsp.buf_attach_client(args.buf, client_id)
    vim.bo[args.buf].commentstring = '; %s'
  end,
})
