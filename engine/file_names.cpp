#include "file_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korvane {

std::string quotedName(std::string_view name) {
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    if (std::none_of(name.begin(), name.end(), isControl))
        return std::string(name);
    // Plain runs go between single quotes, control characters into $'...'.
    std::string quoted;
    bool open = false;
    for (const char c : name) {
        if (isControl(c)) {
            if (open)
                quoted += '\'';
            open = false;
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "$'\\%03o'", static_cast<unsigned char>(c));
            quoted += escaped;
            continue;
        }
        if (!open)
            quoted += '\'';
        open = true;
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    if (open)
        quoted += '\'';
    return quoted;
}

std::string failureReason(FileStatus status, int error) {
    if (status == FileStatus::NotRegular)
        return "not a regular file";
    if (error == kChangedWhileRead)
        return "the file shrank or failed while it was read";
    return std::strerror(error);
}

} // namespace korvane
