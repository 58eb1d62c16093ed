#pragma once

#include "settings_file.h"

#include <string>
#include <string_view>

namespace korvane {

// A file name as text output shows it. One that holds control characters
// (which could drive a terminal, or split a line in two) is quoted for a
// shell as GNU tools quote it: 'a'$'\n''b'. Any other stays as it is.
std::string quotedName(std::string_view name);

// Why a file could not be checked, in the words every front end uses:
// "not a regular file", "the file shrank or failed while it was read", or
// the system's text for `error`.
std::string failureReason(FileStatus status, int error);

} // namespace korvane
