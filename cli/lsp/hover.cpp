#include "hover.h"

#include "diagnostics.h"
#include "explanation.h"
#include "file_names.h"
#include "include_cache.h"
#include "include_reader.h"
#include "search_order.h"
#include "text.h"
#include "uri.h"

#include <map>
#include <vector>

namespace korvane::lsp {
namespace {

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string place(const Location& at, const std::string& checked) {
    return joined({"`", shownPath(at.file, checked), ":", std::to_string(at.line), "`"});
}

// The texts of the arenas, each shown once with the arenas it holds for.
class PerArena {
public:
    void add(const std::string& text, const std::optional<std::string>& arena) {
        auto [it, added] = index_.try_emplace(text, texts_.size());
        if (added)
            texts_.push_back({text, {}});
        if (arena)
            texts_[it->second].second.push_back(*arena);
    }
    std::optional<std::string> joined() const {
        if (texts_.empty())
            return std::nullopt;
        std::string out;
        for (const auto& [text, arenas] : texts_) {
            if (!out.empty())
                out += "\n\n---\n\n";
            if (!arenas.empty() && (texts_.size() > 1 || arenas.size() > 1)) {
                out += arenas.size() == 1 ? "*Arena " : "*Arenas ";
                for (std::size_t i = 0; i < arenas.size(); ++i)
                    out += (i ? ", " : "") + arenas[i];
                out += ":*\n\n";
            }
            out += text;
        }
        return out;
    }

private:
    std::map<std::string, std::size_t> index_;
    std::vector<std::pair<std::string, std::vector<std::string>>> texts_;
};

std::optional<std::string> includeHover(const Workspace& workspace, const std::string& path,
                                        std::string_view directive) {
    // The argument as the reader takes it: from a fixed offset, quotes and
    // angle brackets around it dropped.
    std::string_view name = directive.size() > 8 ? directive.substr(8) : std::string_view();
    while (!name.empty() && (blank(name.front()) || name.front() == '"' || name.front() == '<'))
        name.remove_prefix(1);
    while (!name.empty() && (blank(name.back()) || name.back() == '"' || name.back() == '>'))
        name.remove_suffix(1);
    std::vector<ArenaPlace> places;
    std::vector<std::optional<std::string>> arenas;
    for (const Unit* unit : workspace.unitsOf(path)) {
        places.push_back(unit->zone ? ArenaPlace{*unit->zone, *unit->arena} : arenaPlaceOf(path));
        arenas.push_back(unit->path == path ? std::nullopt : unit->arena);
    }
    if (places.empty()) {
        places.push_back(arenaPlaceOf(path));
        arenas.emplace_back();
    }
    PerArena texts;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const std::vector<std::string> candidates = searchPaths(places[i], name);
        std::string text;
        for (const std::string& candidate : candidates) {
            const FileRead probe = workspace.files().probe(candidate);
            if (probe.status == FileStatus::Missing || probe.folder)
                continue;
            text = joined({"`#include ", name, "` reads `", candidate, "`"});
            if (probe.status != FileStatus::Ok)
                text += joined({" (", failureReason(probe.status, probe.error), ")"});
            break;
        }
        if (text.empty()) {
            text = joined({"`", name, "` is found nowhere; the server looked in:\n"});
            for (const std::string& candidate : candidates)
                text += "\n- `" + candidate + "`";
        }
        texts.add(text, arenas[i]);
    }
    return texts.joined();
}

// The section a line of `text` stands in: its own "Section:Key", or the
// last header above it in this file.
std::string sectionAt(std::string_view text, std::size_t line) {
    std::string section;
    for (std::size_t n = 1; n < line; ++n) {
        const std::string_view above = trimmed(lineOf(text, n));
        const std::size_t close = above.find(']');
        if (above.starts_with('[') && close != std::string_view::npos)
            section = std::string(above.substr(1, close - 1));
    }
    return section;
}

std::string keyText(const EffectiveSetting& setting, const std::string& checked,
                    bool thisLineCounts) {
    std::string text = joined({"**", setting.section, ":", setting.key, " = ", setting.value,
                               "** as the server loads it\n\nset at ", place(setting.origin.at, checked)});
    for (const Location& via : setting.origin.via)
        text += joined({", through `#include` at ", place(via, checked)});
    if (!thisLineCounts)
        text += "\n\nThis line is overridden: the value above is the one that counts.";
    for (const Overridden& earlier : setting.origin.overrides)
        text += joined({"\n\noverrode `", earlier.value, "` at ", place(earlier.at, checked)});
    return text;
}

} // namespace

std::optional<std::string> hoverText(const Workspace& workspace, const Document& document,
                                     std::size_t line) {
    if (!document.path || !document.problem.empty())
        return std::nullopt;
    const std::string& path = *document.path;
    const std::string_view text = trimmed(lineOf(document.text, line));
    if (text.starts_with("#include"))
        return includeHover(workspace, path, text);
    const std::size_t equals = text.find('=');
    if (text.empty() || text[0] == ';' || text[0] == '/' || text[0] == '#' ||
        equals == std::string_view::npos)
        return std::nullopt;
    std::string_view name = trimmed(text.substr(0, equals));
    std::string section;
    if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
        section = std::string(trimmed(name.substr(0, colon)));
        name = trimmed(name.substr(colon + 1));
    } else {
        section = sectionAt(document.text, line);
    }
    PerArena texts;
    IncludeCache cache;
    for (const Unit* unit : workspace.unitsOf(path)) {
        const std::optional<std::string> arena =
            unit->path == path ? std::nullopt : unit->arena;
        std::string shown;
        CheckRequest request;
        request.path = unit->path;
        request.zone = unit->zone;
        request.arena = unit->arena;
        request.files = &workspace.files();
        request.cache = &cache;
        for (const EffectiveSetting& setting : effectiveSettings(request).settings) {
            if (sameIgnoringCase(setting.section, section) && sameIgnoringCase(setting.key, name)) {
                const bool counts = setting.origin.at.line == line &&
                                    normalisedPath(setting.origin.at.file) == path;
                shown = keyText(setting, unit->path, counts);
                break;
            }
        }
        for (const ResultFinding& finding : unit->result.findings) {
            if (!sameIgnoringCase(finding.ship, section))
                continue;
            for (const ResultKey& key : finding.keys) {
                if (sameIgnoringCase(key.name, name)) {
                    shown += joined({shown.empty() ? "" : "\n\n", "**Finding:** ", finding.text,
                                     "\n\n```\n", explainFinding(finding, unit->path), "```"});
                    break;
                }
            }
        }
        if (!shown.empty())
            texts.add(shown, arena);
    }
    return texts.joined();
}

} // namespace korvane::lsp
