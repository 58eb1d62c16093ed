// The page's way into the engine, for its worker (korvane.worker.js): the
// files chosen or dropped are held in memory by their paths, and a check of
// one file or of a whole zone comes back as JSON, the lines exactly as
// korvane-check prints them. Only a renderer: no rule or text lives here.

#include "check_result.h"
#include "explanation.h"
#include "file_names.h"
#include "file_source.h"

#include <cstring>
#include <emscripten.h>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using Json = nlohmann::ordered_json;

// Every file the page was given, by the path the user sees
// ("zone/arenas/duel/arena.conf" for a folder, "server.cfg" for a file).
korvane::MemoryFiles& heldFiles() {
    static korvane::MemoryFiles files;
    return files;
}

// A file's bytes on their way in (kw_file_buffer, kw_put).
std::string& incoming() {
    static std::string bytes;
    return bytes;
}

// The last answer, kept until the next call so the worker can read it.
std::string& answer() {
    static std::string text;
    return text;
}

const char* give(const Json& object) {
    // A path need not be UTF-8, JSON text must be: as korvane-check does,
    // stray bytes become U+FFFD.
    answer() = object.dump(-1, ' ', false, Json::error_handler_t::replace);
    return answer().c_str();
}

// The report's lines, each finding's explanation beside its line (the
// findings come in the order of the report's red lines), and the reader's
// warnings as korvane-check writes them to standard error.
Json resultJson(const korvane::CheckResult& result) {
    Json object = {{"file", result.name}};
    if (result.status != korvane::FileStatus::Ok) {
        object["trouble"] = "korvane-check: " + korvane::quotedName(result.name) + ": " +
                            korvane::failureReason(result.status, result.error);
        return object;
    }
    Json lines = Json::array();
    Json explanations = Json::array();
    auto finding = result.findings.begin();
    for (const korvane::ReportLine& line : result.lines) {
        if (line.colour == korvane::kRed && finding != result.findings.end())
            explanations.push_back({{"line", lines.size()},
                                    {"text", korvane::explainFinding(*finding++, result.name)}});
        lines.push_back({{"text", line.text}, {"colour", line.colour}});
    }
    object["explanations"] = std::move(explanations);
    object["errors"] = result.errors;
    object["lines"] = std::move(lines);
    // Read while it changed: the report is given, but may be wrong.
    if (result.mayBeWrong)
        object["trouble"] = "korvane-check: " + korvane::quotedName(result.name) + ": " +
                            korvane::failureReason(korvane::FileStatus::Unreadable,
                                                   result.changedError) +
                            ": this report may be wrong";
    Json warnings = Json::array();
    for (const korvane::Warning& w : result.warnings)
        warnings.push_back(korvane::warningLine(w, result.name));
    object["warnings"] = std::move(warnings);
    return object;
}

} // namespace

// Tells the worker of each arena checked, as it is done (korvane.worker.js).
EM_JS(void, kw_arena_done, (const char* json), { Module.onArena(UTF8ToString(json)); });

extern "C" {

// Forgets every file held.
EMSCRIPTEN_KEEPALIVE void kw_clear() {
    heldFiles() = korvane::MemoryFiles();
}

// Room for the next file's `size` bytes, which the worker writes there
// itself: a 64 MiB file is then copied once into the engine's memory, not
// twice.
EMSCRIPTEN_KEEPALIVE char* kw_file_buffer(std::size_t size) {
    incoming() = std::string(size, '\0');
    return incoming().data();
}

// Holds the bytes written to kw_file_buffer as the file `path`.
EMSCRIPTEN_KEEPALIVE void kw_put(const char* path) {
    heldFiles().put(path, std::move(incoming()));
    incoming() = std::string();
}

// Checks the held file `path` as korvane-check checks it.
EMSCRIPTEN_KEEPALIVE const char* kw_check(const char* path) {
    korvane::CheckRequest request;
    request.path = path;
    request.files = &heldFiles();
    Json object = resultJson(korvane::check(request));
    object["heading"] = "==> " + korvane::quotedName(request.path) + " <==";
    return give(object);
}

// Checks every arena of the held zone folder `zone` as korvane-check does,
// each arena's result going to kw_arena_done with its heading; the answer
// closes the run.
EMSCRIPTEN_KEEPALIVE const char* kw_check_zone(const char* zone) {
    const std::string folder = zone;
    korvane::CheckRequest base{folder};
    base.files = &heldFiles();
    const korvane::ZoneRun run =
        korvane::checkZone(folder, base, [&](const korvane::CheckResult& result) {
            Json object = resultJson(result);
            object["heading"] = "==> " + korvane::quotedName(result.name) +
                                korvane::arenaNote(folder, result.name, result.arena) + " <==";
            kw_arena_done(give(object));
        });
    Json summary = {{"zone", folder}};
    if (run.listError != 0)
        summary["listTrouble"] = "korvane-check: " + korvane::quotedName(folder + "/arenas") +
                                 ": " + std::strerror(run.listError);
    if (run.empty) {
        summary["trouble"] = "korvane-check: " + korvane::quotedName(folder) +
                             ": " + korvane::kZoneWithoutArenas;
        return give(summary);
    }
    summary["line"] = korvane::zoneSummaryLine(run);
    return give(summary);
}

} // extern "C"
