#include "effective_writer.h"

#include "file_names.h"

namespace korvane::cli {
namespace {

using Json = nlohmann::ordered_json;

std::string place(const Location& at) {
    return quotedName(at.file) + ':' + std::to_string(at.line);
}

void writeText(std::ostream& out, const EffectiveResult& result) {
    for (const EffectiveSetting& s : result.settings) {
        // Names and values are quoted as file names are: they come from
        // the file, and could drive a terminal.
        out << quotedName(s.section) << ':' << quotedName(s.key) << '=' << quotedName(s.value)
            << "  " << place(s.origin.at);
        for (std::size_t i = 0; i < s.origin.overrides.size(); ++i)
            out << (i == 0 ? "  (overrides " : ", ") << place(s.origin.overrides[i].at);
        out << (s.origin.overrides.empty() ? "\n" : ")\n");
    }
}

Json locationJson(const Location& at) {
    return {{"file", at.file}, {"line", at.line}};
}

void writeJson(std::ostream& out, const EffectiveResult& result) {
    Json settings = Json::array();
    for (const EffectiveSetting& s : result.settings) {
        Json via = Json::array(), overrides = Json::array();
        for (const Location& at : s.origin.via)
            via.push_back(locationJson(at));
        for (const Overridden& o : s.origin.overrides) {
            Json overridden = locationJson(o.at);
            overridden["value"] = o.value;
            overrides.push_back(std::move(overridden));
        }
        settings.push_back({{"section", s.section},
                            {"key", s.key},
                            {"value", s.value},
                            {"file", s.origin.at.file},
                            {"line", s.origin.at.line},
                            {"via", std::move(via)},
                            {"overrides", std::move(overrides)}});
    }
    Json object = {{"file", result.name}};
    if (result.arena)
        object["arena"] = *result.arena;
    object["settings"] = std::move(settings);
    out << jsonText(object) << '\n';
}

} // namespace

void writeEffective(std::ostream& out, const EffectiveResult& result, Format format) {
    if (format == Format::Json)
        writeJson(out, result);
    else
        writeText(out, result);
}

} // namespace korvane::cli
