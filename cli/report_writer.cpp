#include "report_writer.h"

#include <nlohmann/json.hpp>

namespace korvane::cli {
namespace {

std::string_view ansiFor(ReportColour colour)
{
    switch (colour) {
    case kRed:
        return "\x1b[31m";
    case kBlue:
        return "\x1b[34m";
    default:
        return {};
    }
}

void writeText(std::ostream& out, const FileReport& report, bool colour)
{
    for (const ReportLine& line : report.outcome.lines) {
        const auto on = colour ? ansiFor(line.colour) : std::string_view{};
        if (on.empty() || line.text.empty())
            out << line.text << '\n';
        else
            out << on << line.text << "\x1b[0m\n";
    }
}

void writeJson(std::ostream& out, const FileReport& report)
{
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (const ReportLine& line : report.outcome.lines)
        lines.push_back({{"text", line.text}, {"colour", line.colour}});
    const nlohmann::ordered_json object = {
        {"file", report.name}, {"errors", report.outcome.errors}, {"lines", std::move(lines)}};
    // A path need not be UTF-8; JSON text must be, so stray bytes become U+FFFD.
    out << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

} // namespace

void writeReport(std::ostream& out, const FileReport& report, Format format, bool colour)
{
    switch (format) {
    case Format::Text:
        writeText(out, report, colour);
        break;
    case Format::Json:
        writeJson(out, report);
        break;
    }
}

} // namespace korvane::cli
