#include "workspace.h"

#include "diagnostics.h"
#include "include_cache.h"
#include "include_reader.h"
#include "uri.h"
#include "zone_arenas.h"

#include <algorithm>

namespace korvane::lsp {
namespace {

bool endsWithConf(const std::string& path) {
    if (path.size() < 5)
        return false;
    std::string end = path.substr(path.size() - 5);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return end == ".conf";
}

std::string unitKey(const std::string& path, const std::optional<std::string>& arena) {
    return path + '\n' + arena.value_or("");
}

} // namespace

Workspace::Workspace(const FileSource& disk)
    : disk_(disk), files_(std::make_unique<MemoryFiles>(&disk)) {}

void Workspace::open(Document document) {
    const std::string uri = document.uri;
    if (document.path) {
        if (document.problem.empty())
            files_->put(*document.path, document.text);
        else
            files_->erase(*document.path);
        invalidate(*document.path);
    }
    documents_[uri] = std::move(document);
    stale_ = true;
}

void Workspace::change(const std::string& uri, std::string text, std::int64_t version) {
    const auto found = documents_.find(uri);
    if (found == documents_.end())
        return;
    Document& document = found->second;
    document.text = std::move(text);
    document.version = version;
    if (document.path && document.problem.empty()) {
        files_->put(*document.path, document.text);
        invalidate(*document.path);
    }
    stale_ = true;
}

void Workspace::close(const std::string& uri) {
    const auto found = documents_.find(uri);
    if (found == documents_.end())
        return;
    if (found->second.path) {
        // What is on disk counts again.
        files_->erase(*found->second.path);
        invalidate(*found->second.path);
        views_.erase(*found->second.path);
    }
    documents_.erase(found);
    stale_ = true;
}

void Workspace::drop(const std::string& uri, const std::string& problem) {
    Document& document = documents_[uri];
    document.uri = uri;
    document.text.clear();
    document.problem = problem;
    if (document.path) {
        files_->erase(*document.path);
        invalidate(*document.path);
    }
    stale_ = true;
}

const Document* Workspace::document(const std::string& uri) const {
    const auto found = documents_.find(uri);
    return found == documents_.end() ? nullptr : &found->second;
}

void Workspace::changedOnDisk(const std::string& path) {
    // A new or removed arena changes a zone's list.
    zoneArenas_.clear();
    invalidate(path);
    stale_ = true;
}

void Workspace::invalidate(const std::string& path) {
    for (auto& [key, unit] : units_) {
        if (unit.path == path || unit.depends.count(path) != 0)
            unit.current = false;
    }
}

Unit& Workspace::unit(const std::string& path, const std::optional<std::string>& zone,
                      const std::optional<std::string>& arena) {
    const auto [it, added] = units_.try_emplace(unitKey(path, arena));
    if (added) {
        it->second.path = path;
        it->second.zone = zone;
        it->second.arena = arena;
    }
    return it->second;
}

// An arena's file or a file outside a zone is checked on its own; a shared
// file of a zone through each arena of the zone, kept where it includes it.
std::vector<Unit*> Workspace::unitsFor(const Document& document) {
    const std::string& path = *document.path;
    if (!endsWithConf(path))
        return {&unit(path, std::nullopt, std::nullopt)};
    const std::string zone = arenaPlaceOf(path).zone;
    auto listed = zoneArenas_.find(zone);
    if (listed == zoneArenas_.end()) {
        std::vector<std::pair<std::string, std::string>> arenas;
        if (isZoneFolder(zone, files_.get())) {
            for (const ZoneArena& arena : zoneArenas(zone, files_.get()).arenas) {
                if (arena.status == FileStatus::Ok)
                    arenas.emplace_back(normalisedPath(arena.path), arena.name);
            }
        }
        listed = zoneArenas_.emplace(zone, std::move(arenas)).first;
    }
    std::vector<Unit*> all;
    for (const auto& [arenaPath, name] : listed->second) {
        Unit& arena = unit(arenaPath, zone, name);
        if (arenaPath == path)
            return {&arena};
        all.push_back(&arena);
    }
    bringUpToDate(all);
    std::vector<Unit*> including;
    for (Unit* arena : all) {
        if (arena->depends.count(path) != 0)
            including.push_back(arena);
    }
    if (including.empty())
        return {&unit(path, std::nullopt, std::nullopt)};
    return including;
}

void Workspace::bringUpToDate(std::vector<Unit*>& units) {
    // One cache for the arenas checked together, as a zone run keeps one.
    IncludeCache cache;
    for (Unit* unit : units) {
        if (unit->current)
            continue;
        CheckRequest request;
        request.path = unit->path;
        request.zone = unit->zone;
        request.arena = unit->arena;
        request.files = files_.get();
        request.cache = &cache;
        unit->result = korvane::check(request);
        unit->depends.clear();
        for (const std::string& read : unit->result.filesRead)
            unit->depends.insert(normalisedPath(read));
        for (const std::string& watched : unit->result.watch)
            unit->depends.insert(normalisedPath(watched));
        unit->current = true;
    }
}

std::vector<Publication> Workspace::check() {
    stale_ = false;
    views_.clear();
    std::vector<Publication> out;
    // The files where open arenas' findings were decided, and through which checks.
    std::map<std::string, std::vector<const Unit*>> decidedElsewhere;
    for (auto& [uri, document] : documents_) {
        if (!document.problem.empty() || !document.path) {
            Publication problem;
            problem.uri = uri;
            problem.version = document.version;
            problem.diagnostics.push_back(problemDiagnostic(document.problem));
            out.push_back(std::move(problem));
            continue;
        }
        std::vector<Unit*> units = unitsFor(document);
        bringUpToDate(units);
        std::vector<const Unit*>& view = views_[*document.path];
        view.assign(units.begin(), units.end());
        const bool own = units.size() == 1 && units.front()->path == *document.path;
        if (!own)
            continue;
        for (const ResultFinding& finding : units.front()->result.findings) {
            const auto at = finding.location();
            if (at && normalisedPath(at->file) != *document.path)
                decidedElsewhere[normalisedPath(at->file)].push_back(units.front());
        }
    }
    for (const auto& [uri, document] : documents_) {
        if (document.path && document.problem.empty())
            out.push_back(render(*document.path, views_[*document.path], &document));
    }
    for (auto& [path, units] : decidedElsewhere) {
        if (views_.count(path) != 0)
            continue; // open: published with its own view
        units.erase(std::unique(units.begin(), units.end()), units.end());
        out.push_back(render(path, units, nullptr));
    }
    return out;
}

Publication Workspace::render(const std::string& path, const std::vector<const Unit*>& units,
                              const Document* open) const {
    Publication publication;
    publication.uri = open ? open->uri : uriOfPath(path);
    if (open)
        publication.version = open->version;
    publication.depends.insert(path);
    for (const Unit* unit : units)
        publication.depends.insert(unit->depends.begin(), unit->depends.end());
    publication.diagnostics = diagnosticsFor(path, units, open ? &open->text : nullptr);
    return publication;
}

std::vector<const Unit*> Workspace::unitsOf(const std::string& path) const {
    const auto found = views_.find(path);
    return found == views_.end() ? std::vector<const Unit*>{} : found->second;
}

std::set<std::string> Workspace::watched() const {
    std::set<std::string> paths;
    for (const auto& [key, unit] : units_)
        paths.insert(unit.depends.begin(), unit.depends.end());
    return paths;
}

} // namespace korvane::lsp
