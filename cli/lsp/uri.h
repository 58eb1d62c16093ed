#pragma once

// file: URIs and the paths the engine reads, both ways.

#include <optional>
#include <string>
#include <string_view>

namespace korvane::lsp {

// The path a file: URI names ("file:///C:/zone/a.conf" is "C:/zone/a.conf"
// on Windows), percent-escapes decoded, made lexically normal; none for any
// other scheme, a host other than localhost, or an escape that decodes to
// NUL.
std::optional<std::string> pathOfUri(std::string_view uri);

// The file: URI of a path, escaping what a URI cannot hold as it is.
std::string uriOfPath(std::string_view path);

// A path as the server compares paths: lexically normal, '/' between
// names (also on Windows, with its drive letter in upper case).
std::string normalisedPath(std::string_view path);

} // namespace korvane::lsp
