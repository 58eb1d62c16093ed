#include "explanation.h"

#include "file_names.h"

#include <filesystem>

namespace korvane {
namespace {

std::filesystem::path pathOf(const std::string& name) {
    // The bytes as they are: paths are UTF-8 everywhere in the engine.
    return std::filesystem::path(std::u8string(name.begin(), name.end())).lexically_normal();
}

std::string textOf(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::string place(const Location& at, const std::string& checkedFile) {
    return quotedName(shownPath(at.file, checkedFile)) + ':' + std::to_string(at.line);
}

std::string branchText(const BranchTaken& b, const std::string& checkedFile) {
    std::string text = b.inElse ? "in the #else of " : "in ";
    text += b.ifndef ? "#ifndef " : "#ifdef ";
    text += quotedName(b.name) + " at " + place(b.at, checkedFile) + " (";
    if (b.decidedBy)
        text += std::string(b.defined ? "defined" : "undefined") + " at " +
                place(*b.decidedBy, checkedFile);
    else
        text += b.defined ? "defined" : "never defined";
    return text + ")";
}

} // namespace

std::string shownPath(const std::string& file, const std::string& checkedFile) {
    const std::filesystem::path target = pathOf(file);
    const std::filesystem::path folder = pathOf(checkedFile).parent_path();
    // From the checked file's folder, when both are named from the same
    // place (both relative, or both rooted alike). Rooted, not absolute:
    // on Windows "/z/s.conf" has no drive, yet starts from the top.
    const bool rooted = target.has_root_directory();
    if (rooted == folder.has_root_directory() && target.root_name() == folder.root_name()) {
        const std::filesystem::path relative =
            target.lexically_relative(folder.empty() ? std::filesystem::path(".") : folder);
        // A folder name ".." that cannot be walked back is no way there.
        if (!relative.empty()) {
            const std::string shown = textOf(relative);
            if (!rooted || shown.size() <= file.size())
                return shown;
        }
    }
    return file;
}

std::string explainKey(const ResultKey& key, const std::string& checkedFile) {
    std::string line = key.name + " = " + std::to_string(key.value);
    if (!key.set || !key.origin) {
        line += ": not set";
        // The profile reader names the section it looked in.
        if (key.origin)
            line += " (its section at " + place(key.origin->at, checkedFile) + ")";
        return line + '\n';
    }
    const Origin& origin = *key.origin;
    line += " at " + place(origin.at, checkedFile);
    if (!origin.via.empty()) {
        line += ", included by ";
        for (std::size_t i = 0; i < origin.via.size(); ++i)
            line += (i == 0 ? "" : " > ") + place(origin.via[i], checkedFile);
    }
    for (const BranchTaken& b : origin.branches)
        line += "; " + branchText(b, checkedFile);
    for (const Overridden& o : origin.overrides)
        line += "; replaces " + (o.value.empty() ? "an empty value" : quotedName(o.value)) +
                " at " + place(o.at, checkedFile);
    return line + '\n';
}

std::string explainFinding(const ResultFinding& finding, const std::string& checkedFile) {
    std::string text;
    for (const ResultKey& key : finding.keys)
        text += explainKey(key, checkedFile);
    return text;
}

} // namespace korvane
