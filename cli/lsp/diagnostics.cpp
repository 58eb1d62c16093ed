#include "diagnostics.h"

#include "explanation.h"
#include "file_names.h"
#include "rule_info.h"
#include "text.h"
#include "uri.h"

#include <map>
#include <set>

namespace korvane::lsp {
namespace {

using nlohmann::json;

constexpr const char* kSource = "korvane";

std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80)
            units += byte >= 0xF0 ? 2 : 1; // a 4-byte sequence is a surrogate pair
    }
    return units;
}

json location(const Location& at) {
    return {{"uri", uriOfPath(at.file)}, {"range", lineRange(at.line, nullptr)}};
}

// Diagnostics of one file, the same one from several arenas kept once.
class Collected {
public:
    void add(const std::string& key, json diagnostic, const std::optional<std::string>& arena) {
        auto [it, added] = index_.try_emplace(key, entries_.size());
        if (added)
            entries_.push_back({std::move(diagnostic), {}});
        if (arena)
            entries_[it->second].arenas.insert(*arena);
    }
    json take() {
        json out = json::array();
        for (Entry& entry : entries_) {
            if (!entry.arenas.empty()) {
                std::string names;
                for (const std::string& name : entry.arenas)
                    names += (names.empty() ? "" : ", ") + name;
                entry.diagnostic["message"] = entry.diagnostic["message"].get<std::string>() +
                                              (entry.arenas.size() == 1 ? " (arena " : " (arenas ") +
                                              names + ")";
            }
            out.push_back(std::move(entry.diagnostic));
        }
        return out;
    }

private:
    struct Entry {
        json diagnostic;
        std::set<std::string> arenas;
    };
    std::map<std::string, std::size_t> index_;
    std::vector<Entry> entries_;
};

json related(const ResultFinding& finding, const std::string& checked) {
    json out = json::array();
    for (const ResultKey& key : finding.keys) {
        if (!key.origin)
            continue;
        out.push_back({{"location", location(key.origin->at)},
                       {"message", key.name + "=" + std::to_string(key.value)}});
        for (const Location& via : key.origin->via) {
            out.push_back({{"location", location(via)},
                           {"message", joined({"#include that leads to ", shownPath(key.origin->at.file, checked)})}});
        }
    }
    return out;
}

const ResultKey* decidingKey(const ResultFinding& finding) {
    for (const ResultKey& key : finding.keys) {
        if (key.origin)
            return &key;
    }
    return nullptr;
}

} // namespace

std::string_view lineOf(std::string_view text, std::size_t line) {
    std::size_t start = 0;
    for (std::size_t n = 1; n < line; ++n) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            return {};
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    const std::size_t end = text.find_first_of("\r\n", start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

json lineRange(std::size_t line, const std::string* text) {
    const std::size_t at = line > 0 ? line - 1 : 0;
    const json start = {{"line", at}, {"character", 0}};
    if (!text)
        return {{"start", start}, {"end", {{"line", at + 1}, {"character", 0}}}};
    return {{"start", start},
            {"end", {{"line", at}, {"character", utf16Length(lineOf(*text, at + 1))}}}};
}

json problemDiagnostic(const std::string& message) {
    return {{"range", lineRange(1, nullptr)},
            {"severity", kWarning},
            {"source", kSource},
            {"message", message}};
}

json diagnosticsFor(const std::string& path, const std::vector<const Unit*>& units,
                    const std::string* text) {
    Collected collected;
    // The findings decided elsewhere, per #include line here that led to them.
    std::map<std::size_t, std::pair<std::set<std::string>, std::set<std::string>>> included;
    std::map<std::size_t, std::string> includedFile;
    for (const Unit* unit : units) {
        const CheckResult& result = unit->result;
        const bool own = unit->path == path;
        const std::optional<std::string> arena = own ? std::nullopt : unit->arena;
        if (result.status != FileStatus::Ok) {
            if (own)
                collected.add("status", problemDiagnostic(failureReason(result.status, result.error)),
                              arena);
            continue;
        }
        for (const ResultFinding& finding : result.findings) {
            const std::string code = ruleInfo(finding.rule).id;
            const auto at = finding.location();
            if (!at || normalisedPath(at->file) == path) {
                if (!at && !own)
                    continue;
                const std::size_t line = at ? at->line : 1;
                const std::string message = at ? finding.text : finding.ship + ": " + finding.text;
                collected.add(std::to_string(line) + '\n' + code + '\n' + message,
                              {{"range", lineRange(line, text)},
                               {"severity", kError},
                               {"source", kSource},
                               {"code", code},
                               {"message", message},
                               {"relatedInformation", related(finding, unit->path)}},
                              arena);
                continue;
            }
            const ResultKey* key = decidingKey(finding);
            if (!key)
                continue;
            for (const Location& via : key->origin->via) {
                if (normalisedPath(via.file) != path)
                    continue;
                auto& [texts, arenas] = included[via.line];
                texts.insert(finding.text);
                if (arena)
                    arenas.insert(*arena);
                includedFile.try_emplace(via.line, shownPath(at->file, path));
                break;
            }
        }
        for (const Warning& warning : result.warnings) {
            const bool here = warning.where ? normalisedPath(warning.where->file) == path : own;
            if (!here)
                continue;
            const std::size_t line = warning.where ? warning.where->line : 1;
            collected.add(std::to_string(line) + "\nwarning\n" + warning.text,
                          {{"range", lineRange(line, text)},
                           {"severity", kWarning},
                           {"source", kSource},
                           {"message", warning.text}},
                          arena);
        }
    }
    for (const auto& [line, found] : included) {
        const auto& [texts, arenas] = found;
        std::string message = std::to_string(texts.size()) +
                              (texts.size() == 1 ? " finding in " : " findings in ") +
                              includedFile[line] + ":";
        bool first = true;
        for (const std::string& finding : texts) {
            message += (first ? " " : "; ") + finding;
            first = false;
        }
        const std::string key = std::to_string(line) + "\ninclude";
        json diagnostic = {{"range", lineRange(line, text)},
                           {"severity", kInformation},
                           {"source", kSource},
                           {"message", message}};
        if (arenas.empty())
            collected.add(key, std::move(diagnostic), std::nullopt);
        for (const std::string& name : arenas)
            collected.add(key, diagnostic, name);
    }
    return collected.take();
}

} // namespace korvane::lsp
