#pragma once

namespace korvane::lsp {

// `korvane-check --lsp`: the language server on standard input and output,
// until the client's `exit` (or the end of the input). Returns the exit
// status: 0 after `shutdown`, 1 without it.
int runLanguageServer();

} // namespace korvane::lsp
