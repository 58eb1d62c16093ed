#pragma once

// What a hover shows, as Markdown: on a key line, the key's value as the
// server loads it for each arena, where it was set and what it overrode,
// and on a finding both values and their origins; on an #include line, the
// file it resolves to or every place searched.

#include "workspace.h"

#include <cstddef>
#include <optional>
#include <string>

namespace korvane::lsp {

// `line` counts from 1. None where the line is neither.
std::optional<std::string> hoverText(const Workspace& workspace, const Document& document,
                                     std::size_t line);

} // namespace korvane::lsp
