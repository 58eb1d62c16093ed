#include "report_writer.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace korvane::cli {
namespace {

std::string_view ansiFor(ReportColour colour) {
    switch (colour) {
    case kRed:
        return "\x1b[31m";
    case kBlue:
        return "\x1b[34m";
    default:
        return {};
    }
}

void writeText(std::ostream& out, const FileReport& report, bool colour) {
    for (const ReportLine& line : report.outcome.lines) {
        const auto on = colour ? ansiFor(line.colour) : std::string_view{};
        if (on.empty())
            out << line.text << '\n';
        else
            out << on << line.text << "\x1b[0m\n";
    }
}

using Json = nlohmann::ordered_json;

Json fileOf(const std::optional<Location>& where) {
    return where ? Json(where->file) : Json(nullptr);
}

Json lineOf(const std::optional<Location>& where) {
    return where ? Json(where->line) : Json(nullptr);
}

void writeJson(std::ostream& out, const FileReport& report) {
    Json lines = Json::array();
    for (const ReportLine& line : report.outcome.lines)
        lines.push_back({{"text", line.text}, {"colour", line.colour}});
    Json findings = Json::array();
    for (const Finding& f : report.outcome.findings) {
        Json keys = Json::array();
        for (const CheckedKey& key : f.keys) {
            keys.push_back({{"name", key.name},
                            {"value", key.value},
                            {"file", fileOf(key.where)},
                            {"line", lineOf(key.where)}});
        }
        const auto where = f.location();
        findings.push_back({{"ship", f.ship},
                            {"text", f.text},
                            {"file", where ? where->file : report.name},
                            {"line", lineOf(where)},
                            {"keys", std::move(keys)}});
    }
    Json warnings = Json::array();
    for (const Warning& w : report.outcome.warnings)
        warnings.push_back(
            {{"file", fileOf(w.where)}, {"line", lineOf(w.where)}, {"text", w.text}});
    const Json object = {{"file", report.name},
                         {"errors", report.outcome.errors},
                         {"lines", std::move(lines)},
                         {"findings", std::move(findings)},
                         {"warnings", std::move(warnings)}};
    // A path need not be UTF-8; JSON text must be, so stray bytes become U+FFFD.
    out << object.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

// FILE:LINE, or the checked file alone: the form compilers use, which
// editors and CI logs jump from.
void writePlace(std::ostream& out, const FileReport& report, const std::optional<Location>& where) {
    if (where)
        out << quotedName(where->file) << ':' << where->line;
    else
        out << quotedName(report.name);
}

// A finding without a line of its own says which ship it is about.
std::string findingText(const Finding& f) {
    return f.location() ? f.text : f.ship + ": " + f.text;
}

void writeGcc(std::ostream& out, const FileReport& report) {
    for (const Finding& f : report.outcome.findings) {
        writePlace(out, report, f.location());
        out << ": error: " << findingText(f) << '\n';
    }
}

// GitHub's workflow command escaping: data escapes %, CR and LF; property
// values also escape ':' and ','.
std::string githubEscape(std::string_view s, bool property) {
    std::string escaped;
    for (char c : s) {
        switch (c) {
        case '%':
            escaped += "%25";
            break;
        case '\r':
            escaped += "%0D";
            break;
        case '\n':
            escaped += "%0A";
            break;
        case ':':
            escaped += property ? "%3A" : ":";
            break;
        case ',':
            escaped += property ? "%2C" : ",";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void writeAnnotation(std::ostream& out, std::string_view kind, const FileReport& report,
                     const std::optional<Location>& where, std::string_view text) {
    out << "::" << kind << " file=" << githubEscape(where ? where->file : report.name, true);
    if (where)
        out << ",line=" << where->line;
    out << "::" << githubEscape(text, false) << '\n';
}

void writeGithub(std::ostream& out, const FileReport& report) {
    for (const Finding& f : report.outcome.findings)
        writeAnnotation(out, "error", report, f.location(), findingText(f));
}

} // namespace

void writeWarnings(std::ostream& out, const FileReport& report, Format format) {
    for (const Warning& w : report.outcome.warnings) {
        if (format == Format::Json)
            return;
        if (format == Format::Github)
            writeAnnotation(out, "warning", report, w.where, quotedName(w.text));
        else
            out << warningLine(w, report.name) << '\n';
    }
}

void writeReport(std::ostream& out, const FileReport& report, Format format, bool colour) {
    switch (format) {
    case Format::Text:
        writeText(out, report, colour);
        break;
    case Format::Json:
        writeJson(out, report);
        break;
    case Format::Gcc:
        writeGcc(out, report);
        break;
    case Format::Github:
        writeGithub(out, report);
        break;
    }
}

} // namespace korvane::cli
