#pragma once

// What the server holds: the editor's open documents (their unsaved text in
// front of the disk) and the checks of the files they belong to. It decides
// what a document is checked as: an arena's file or a file outside a zone on
// its own, a shared file of a zone through every arena that includes it.

#include "check_result.h"
#include "file_source.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace korvane::lsp {

struct Document {
    std::string uri;
    std::optional<std::string> path; // normalised; none for a URI that is no file
    std::string text;
    std::int64_t version = 0;
    // Why it is not checked (not a file, too large), shown as its one diagnostic.
    std::string problem;
};

// One check run of a file, as an arena of its zone or on its own.
struct Unit {
    std::string path;                 // normalised
    std::optional<std::string> zone;  // with an arena: the zone's folder
    std::optional<std::string> arena; // the arena's name
    CheckResult result;
    std::set<std::string> depends; // normalised: every file read and every place looked at
    bool current = false;
};

// The diagnostics to send for one file.
struct Publication {
    std::string uri;
    std::optional<std::int64_t> version; // of the open document
    nlohmann::json diagnostics = nlohmann::json::array();
    std::set<std::string> depends; // paths whose change makes it out of date
};

class Workspace {
public:
    explicit Workspace(const FileSource& disk);

    // The documents, by URI. A change replaces the whole text (full sync).
    void open(Document document);
    void change(const std::string& uri, std::string text, std::int64_t version);
    void close(const std::string& uri);
    // A document that can no longer be held (its text is too large).
    void drop(const std::string& uri, const std::string& problem);
    const Document* document(const std::string& uri) const;
    const std::map<std::string, Document>& documents() const { return documents_; }
    // A file changed, appeared or went away on disk.
    void changedOnDisk(const std::string& path);

    // Brings every check the open documents need up to date and gives the
    // diagnostics of every file they concern (open documents, and files
    // where an open arena's findings were decided).
    std::vector<Publication> check();
    // The checks behind a document, as of the last check(): its own, or
    // those of the arenas that include it.
    std::vector<const Unit*> unitsOf(const std::string& path) const;
    // Whether a check() would check anything.
    bool stale() const { return stale_; }
    // The editor's texts in front of the disk: what every check reads.
    const FileSource& files() const { return *files_; }
    // Every path a check depends on, for the server's watching.
    std::set<std::string> watched() const;

private:
    struct Target;
    void invalidate(const std::string& path);
    std::vector<Unit*> unitsFor(const Document& document);
    Unit& unit(const std::string& path, const std::optional<std::string>& zone,
               const std::optional<std::string>& arena);
    void bringUpToDate(std::vector<Unit*>& units);
    Publication render(const std::string& path, const std::vector<const Unit*>& units,
                       const Document* open) const;

    const FileSource& disk_;
    std::unique_ptr<MemoryFiles> files_;
    std::map<std::string, Document> documents_; // by URI
    std::map<std::string, Unit> units_;         // by path and arena
    // Each zone's arenas (path, name), listed once until something changes on disk.
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> zoneArenas_;
    // Per open document's path, the units it was last checked through.
    std::map<std::string, std::vector<const Unit*>> views_;
    bool stale_ = false;
};

} // namespace korvane::lsp
