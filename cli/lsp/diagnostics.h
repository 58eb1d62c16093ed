#pragma once

// Check results rendered as the protocol's diagnostics for one file.

#include "workspace.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <vector>

namespace korvane::lsp {

constexpr int kError = 1;
constexpr int kWarning = 2;
constexpr int kInformation = 3;

// The diagnostics of the file at `path` (normalised) from the checks that
// read it: an Error at the line that decided each finding there, a Warning
// per reader's warning there, and an Information at each #include line in
// it that led to findings decided elsewhere. Where `path` is not a check's
// own file, each names the arenas it holds for. `text`, the open document's,
// ends each range at its line's end.
nlohmann::json diagnosticsFor(const std::string& path, const std::vector<const Unit*>& units,
                              const std::string* text);

// A document's one diagnostic where it cannot be checked.
nlohmann::json problemDiagnostic(const std::string& message);

// The protocol's range of a whole line (from 1), counted in UTF-16 code units.
nlohmann::json lineRange(std::size_t line, const std::string* text);

// Line `line` (from 1) of `text`, lines ended as an editor ends them (LF, CR LF, lone CR).
std::string_view lineOf(std::string_view text, std::size_t line);

} // namespace korvane::lsp
