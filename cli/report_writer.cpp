#include "report_writer.h"

#include "explanation.h"

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

void writeText(std::ostream& out, const CheckResult& report, bool colour, bool explain) {
    // The findings come in the order of the report's red lines.
    auto finding = report.findings.begin();
    for (const ReportLine& line : report.lines) {
        const auto on = colour ? ansiFor(line.colour) : std::string_view{};
        if (on.empty())
            out << line.text << '\n';
        else
            out << on << line.text << "\x1b[0m\n";
        if (!explain || line.colour != kRed || finding == report.findings.end())
            continue;
        const std::string explanation = explainFinding(*finding++, report.name);
        for (std::size_t start = 0, end; start < explanation.size(); start = end + 1) {
            end = explanation.find('\n', start);
            out << "    " << explanation.substr(start, end - start) << '\n';
        }
    }
}

using Json = nlohmann::ordered_json;

Json fileOf(const std::optional<Location>& where) {
    return where ? Json(where->file) : Json(nullptr);
}

Json lineOf(const std::optional<Location>& where) {
    return where ? Json(where->line) : Json(nullptr);
}

Json locationJson(const Location& at) {
    return {{"file", at.file}, {"line", at.line}};
}

// Where a key's value came from, beyond its line.
void addOrigin(Json& entry, const ResultKey& key) {
    entry["set"] = key.set;
    Json via = Json::array(), branches = Json::array(), overrides = Json::array();
    if (key.origin) {
        for (const Location& at : key.origin->via)
            via.push_back(locationJson(at));
        for (const BranchTaken& b : key.origin->branches) {
            Json branch = locationJson(b.at);
            branch["directive"] = b.ifndef ? "#ifndef" : "#ifdef";
            branch["name"] = b.name;
            branch["else"] = b.inElse;
            branch["defined"] = b.defined;
            branch["decided_by"] = b.decidedBy ? locationJson(*b.decidedBy) : Json(nullptr);
            branches.push_back(std::move(branch));
        }
        for (const Overridden& o : key.origin->overrides) {
            Json overridden = locationJson(o.at);
            overridden["value"] = o.value;
            overrides.push_back(std::move(overridden));
        }
    }
    entry["via"] = std::move(via);
    entry["branches"] = std::move(branches);
    entry["overrides"] = std::move(overrides);
}

void writeJson(std::ostream& out, const CheckResult& report) {
    Json lines = Json::array();
    for (const ReportLine& line : report.lines)
        lines.push_back({{"text", line.text}, {"colour", line.colour}});
    Json findings = Json::array();
    for (const ResultFinding& f : report.findings) {
        Json keys = Json::array();
        for (const ResultKey& key : f.keys) {
            const std::optional<Location> where =
                key.origin ? std::optional(key.origin->at) : std::nullopt;
            Json entry = {{"name", key.name},
                          {"value", key.value},
                          {"file", fileOf(where)},
                          {"line", lineOf(where)}};
            addOrigin(entry, key);
            keys.push_back(std::move(entry));
        }
        const auto where = f.location();
        findings.push_back({{"ship", f.ship},
                            {"text", f.text},
                            {"file", where ? where->file : report.name},
                            {"line", lineOf(where)},
                            {"keys", std::move(keys)}});
    }
    Json warnings = Json::array();
    for (const Warning& w : report.warnings)
        warnings.push_back(
            {{"file", fileOf(w.where)}, {"line", lineOf(w.where)}, {"text", w.text}});
    Json object = {{"file", report.name}};
    if (report.arena)
        object["arena"] = *report.arena;
    object["errors"] = report.errors;
    object["lines"] = std::move(lines);
    object["findings"] = std::move(findings);
    object["warnings"] = std::move(warnings);
    out << jsonText(object) << '\n';
}

// FILE:LINE, or the checked file alone: the form compilers use, which
// editors and CI logs jump from.
void writePlace(std::ostream& out, const CheckResult& report, const std::optional<Location>& where) {
    if (where)
        out << quotedName(where->file) << ':' << where->line;
    else
        out << quotedName(report.name);
}

// A finding without a line of its own says which ship it is about.
std::string findingText(const ResultFinding& f) {
    return f.location() ? f.text : f.ship + ": " + f.text;
}

void writeGcc(std::ostream& out, const CheckResult& report) {
    for (const ResultFinding& f : report.findings) {
        writePlace(out, report, f.location());
        out << ": error: " << findingText(f) << '\n';
    }
}

// GitHub's workflow command escaping: data escapes %, CR and LF; property
// values also escape ':' and ','. Every other control character is written
// as its bytes' %XX too, which GitHub shows as they are: a raw one could
// drive the terminal of whoever reads the log.
std::string githubEscape(std::string_view s, bool property) {
    std::string escaped;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        std::size_t control = controlAt(s, i);
        if (c == '%' || (property && (c == ':' || c == ',')))
            control = 1;
        if (control == 0) {
            escaped += c;
            ++i;
            continue;
        }
        for (; control > 0; --control, ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(s[i]));
            escaped += hex;
        }
    }
    return escaped;
}

void writeAnnotation(std::ostream& out, std::string_view kind, const CheckResult& report,
                     const std::optional<Location>& where, std::string_view text) {
    out << "::" << kind << " file=" << githubEscape(where ? where->file : report.name, true);
    if (where)
        out << ",line=" << where->line;
    out << "::" << githubEscape(text, false) << '\n';
}

void writeGithub(std::ostream& out, const CheckResult& report) {
    for (const ResultFinding& f : report.findings)
        writeAnnotation(out, "error", report, f.location(), findingText(f));
}

} // namespace

std::string jsonText(const Json& value) {
    // A path need not be UTF-8; JSON text must be, so stray bytes become U+FFFD.
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    // In valid UTF-8, C2 followed by 80 to 9F is always U+0080 to U+009F.
    for (std::size_t at = text.find('\xC2'); at != std::string::npos; at = text.find('\xC2', at)) {
        const auto next = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1]) : 0;
        if (next < 0x80 || next > 0x9F) {
            ++at;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", next);
        text.replace(at, 2, escaped);
        at += 6;
    }
    return text;
}

void writeWarnings(std::ostream& out, const CheckResult& report, Format format) {
    for (const Warning& w : report.warnings) {
        if (format == Format::Json)
            return;
        if (format == Format::Github)
            writeAnnotation(out, "warning", report, w.where, quotedName(w.text));
        else
            out << warningLine(w, report.name) << '\n';
    }
}

void writeZoneSummary(std::ostream& out, const std::string& zone, const ZoneRun& run,
                      Format format) {
    if (format == Format::Json) {
        const Json object = {{"zone", zone},
                             {"arenas", run.arenas},
                             {"arenas_with_errors", run.arenasWithErrors},
                             {"errors", run.errors}};
        out << jsonText(object) << '\n';
        return;
    }
    out << (format == Format::Text ? "\n" : "") << zoneSummaryLine(run) << '\n';
}

void writeReport(std::ostream& out, const CheckResult& report, Format format, bool colour,
                 bool explain) {
    switch (format) {
    case Format::Text:
        writeText(out, report, colour, explain);
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
    case Format::Sarif: // one log for the whole run: SarifLog
        break;
    }
}

} // namespace korvane::cli
