#include "window_text.h"

#include "explanation.h"
#include "file_names.h"
#include "korvane_version.h"

#include <algorithm>

namespace korvane::window {
namespace {

bool endsAFolder(char c, Separators separators) {
    return c == '/' || (separators == Separators::SlashOrBackslash && c == '\\');
}

} // namespace

std::string captionName(std::string_view path, Separators separators) {
    while (path.size() > 1 && endsAFolder(path.back(), separators))
        path.remove_suffix(1);
    const auto last = std::find_if(path.rbegin(), path.rend(),
                                   [separators](char c) { return endsAFolder(c, separators); });
    // A path that is all separators names itself.
    if (last != path.rbegin())
        path.remove_prefix(std::size_t(path.rend() - last));
    return quotedName(path);
}

std::string caption(std::string_view path, Separators separators) {
    return captionName(path, separators) + " - " + kProgramCaption;
}

std::optional<std::string> refusedFiles(std::size_t files) {
    if (files > 1)
        return "one FILE at a time";
    return std::nullopt;
}

std::string usageError(std::string_view reason) {
    return "korvane: " + std::string(reason) + "\nRun with --help for more information.\n";
}

std::string aboutText() {
    return std::string("This program is designed to check for flaws in server settings which "
                       "may cause ?status bugs and false cheater alerts. Version ") +
           kVersion + ".";
}

std::string stoppedLine(std::string_view path, std::optional<std::string_view> what) {
    std::string line = quotedName(path) + ": the check stopped on an unexpected error";
    if (what && !what->empty())
        line += ": " + quotedName(*what);
    return line + "; the report above is incomplete";
}

std::string explanationOfLine(const CheckResult& result, std::size_t line) {
    if (result.status != FileStatus::Ok || line >= result.lines.size() ||
        result.lines[line].colour != kRed)
        return {};
    // The report's red lines are its findings, in order.
    const auto finding = std::size_t(std::count_if(
        result.lines.begin(), result.lines.begin() + std::ptrdiff_t(line),
        [](const ReportLine& l) { return l.colour == kRed; }));
    if (finding >= result.findings.size() || result.findings[finding].text != result.lines[line].text)
        return {};
    std::string text = explainFinding(result.findings[finding], result.name);
    // Lines end with '\n'; a tooltip or a message box needs no last one.
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace korvane::window
