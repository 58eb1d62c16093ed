#include "file_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korvane {

std::size_t controlAt(std::string_view name, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(name[i]); };
    const unsigned char c = byte(at);
    if (c < 0x20 || c == 0x7F)
        return 1;
    if (c == 0xC2 && at + 1 < name.size() && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9F)
        return 2;
    if (c < 0x80 || c > 0x9F)
        return 0;
    // A continuation byte: part of the character before it, if that is one.
    std::size_t lead = at;
    while (lead > 0 && at - lead < 3 && (byte(lead) & 0xC0) == 0x80)
        --lead;
    const unsigned char first = byte(lead);
    const std::size_t length = first >= 0xF0 && first < 0xF8   ? 4
                               : first >= 0xE0 && first < 0xF0 ? 3
                               : first >= 0xC2 && first < 0xE0 ? 2
                                                               : 0;
    for (std::size_t i = lead + 1; length != 0 && i < lead + length; ++i) {
        if (i >= name.size() || (byte(i) & 0xC0) != 0x80)
            return 1;
    }
    return lead + length > at ? 0 : 1;
}

std::string quotedName(std::string_view name) {
    bool controls = false;
    for (std::size_t i = 0; i < name.size() && !controls; ++i)
        controls = controlAt(name, i) != 0;
    if (!controls)
        return std::string(name);
    // Plain runs go between single quotes, control characters into $'...'.
    std::string quoted;
    bool open = false;
    for (std::size_t i = 0; i < name.size();) {
        if (const std::size_t control = controlAt(name, i); control != 0) {
            if (open)
                quoted += '\'';
            open = false;
            quoted += "$'";
            for (std::size_t k = 0; k < control; ++k) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\%03o",
                              static_cast<unsigned char>(name[i + k]));
                quoted += escaped;
            }
            quoted += '\'';
            i += control;
            continue;
        }
        if (!open)
            quoted += '\'';
        open = true;
        if (name[i] == '\'')
            quoted += "'\\''";
        else
            quoted += name[i];
        ++i;
    }
    if (open)
        quoted += '\'';
    return quoted;
}

std::string warningLine(const Warning& w, std::string_view checked) {
    std::string line = quotedName(w.where ? std::string_view(w.where->file) : checked);
    if (w.where)
        line += ':' + std::to_string(w.where->line);
    return line + ": warning: " + quotedName(w.text);
}

std::string failureReason(FileStatus status, int error) {
    if (status == FileStatus::NotRegular)
        return "not a regular file";
    if (error == kChangedWhileRead)
        return "the file shrank or failed while it was read";
    return std::strerror(error);
}

} // namespace korvane
