#pragma once

#include "settings.h"
#include "settings_file.h"

#include <string>
#include <string_view>

namespace korvane {

// A file name as text output shows it. One that holds control characters
// (which could drive a terminal, or split a line in two: C0, DEL, and C1 as
// UTF-8 or as a stray byte) is quoted for a shell as GNU tools quote it:
// 'a'$'\n''b'. Any other stays as it is.
std::string quotedName(std::string_view name);

// How many bytes at `at` make one character that could drive a terminal:
// a C0 control or DEL (1), a C1 control as UTF-8 (2: U+0080 to U+009F,
// such as the one-character CSI U+009B), a lone byte 0x80 to 0x9F that
// is part of no UTF-8 character (1), or none (0).
std::size_t controlAt(std::string_view name, std::size_t at);

// A warning as the window and the checker's text formats show it, in the
// form compilers use: "FILE:LINE: warning: TEXT", or "FILE: warning: TEXT"
// for one without a line, FILE being `checked` (the file checked) then.
// The name and the text are quoted alike (quotedName): a name in an
// #include can hold escape sequences, a folder name a newline.
std::string warningLine(const Warning& w, std::string_view checked);

// Why a file could not be checked, in the words every front end uses:
// "not a regular file", "the file shrank or failed while it was read", or
// the system's text for `error`.
std::string failureReason(FileStatus status, int error);

} // namespace korvane
