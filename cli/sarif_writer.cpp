#include "sarif_writer.h"

#include "korvane_version.h"
#include "report_writer.h"
#include "rule_info.h"

#include <cstdio>

namespace korvane::cli {
namespace {

using Json = nlohmann::ordered_json;

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
}

Json physical(const Location& at) {
    return {{"artifactLocation", {{"uri", fileUri(at.file)}}},
            {"region", {{"startLine", at.line}}}};
}

Json message(const std::string& text) {
    return {{"text", text}};
}

// Every key's origin and the #include lines that led to it, each once.
Json relatedLocations(const ResultFinding& finding) {
    Json related = Json::array();
    const auto add = [&](const Location& at, const std::string& text) {
        const Json entry = {{"physicalLocation", physical(at)}, {"message", message(text)}};
        for (const Json& earlier : related) {
            if (earlier["physicalLocation"] == entry["physicalLocation"] &&
                earlier["message"] == entry["message"])
                return;
        }
        Json numbered = {{"id", related.size()}};
        numbered.update(entry);
        related.push_back(std::move(numbered));
    };
    for (const ResultKey& key : finding.keys) {
        if (!key.origin)
            continue;
        add(key.origin->at, key.set ? key.name + " = " + std::to_string(key.value) + " is set here"
                                    : key.name + " is not set in this section");
        for (const Location& include : key.origin->via)
            add(include, "the #include that leads to " + key.name);
    }
    return related;
}

} // namespace

std::string fileUri(const std::string& file) {
    std::string path = file;
    std::string uri;
#ifdef _WIN32
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    // C:/x, and //server/share/x
    if (path.size() >= 2 && path[1] == ':') {
        uri = "file:///" + path.substr(0, 2);
        path.erase(0, 2);
    } else if (path.starts_with("//")) {
        uri = "file:";
    }
#endif
    if (uri.empty() && path.starts_with('/'))
        uri = "file://";
    for (const char c : path) {
        if (unreserved(static_cast<unsigned char>(c))) {
            uri += c;
            continue;
        }
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
        uri += escaped;
    }
    return uri;
}

void SarifLog::add(const CheckResult& result) {
    for (const ResultFinding& f : result.findings) {
        const RuleInfo& rule = ruleInfo(f.rule);
        const auto where = f.location();
        Json location = where ? physical(*where)
                              : Json{{"artifactLocation", {{"uri", fileUri(result.name)}}}};
        Json properties = {{"ship", f.ship}, {"checkedFile", result.name}};
        if (result.arena)
            properties["arena"] = *result.arena;
        Json entry = {{"ruleId", rule.id},
                      {"ruleIndex", f.rule - 1},
                      {"level", "error"},
                      {"message", message(f.ship + ": " + f.text)},
                      {"locations", Json::array({{{"physicalLocation", std::move(location)}}})}};
        if (Json related = relatedLocations(f); !related.empty())
            entry["relatedLocations"] = std::move(related);
        entry["properties"] = std::move(properties);
        results_.push_back(std::move(entry));
    }
}

std::string SarifLog::document() const {
    Json rules = Json::array();
    for (int rule = 1; rule <= 16; ++rule) {
        const RuleInfo& info = ruleInfo(rule);
        rules.push_back({{"id", info.id},
                         {"shortDescription", message(info.shortDescription)},
                         {"fullDescription", message(info.fullDescription)},
                         {"defaultConfiguration", {{"level", "error"}}}});
    }
    const Json log = {
        {"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
        {"version", "2.1.0"},
        {"runs", Json::array({{{"tool",
                                {{"driver",
                                  {{"name", "korvane-check"},
                                   {"version", kVersion},
                                   {"rules", std::move(rules)}}}}},
                               {"results", results_}}})}};
    return jsonText(log) + '\n';
}

} // namespace korvane::cli
