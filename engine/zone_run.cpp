// A whole zone in one run: its arenas as the zone walk finds them, each
// checked (or its settings listed) as checking its file alone would.

#include "check_result.h"
#include "file_names.h"
#include "include_cache.h"
#include "include_reader.h"
#include "zone_arenas.h"

namespace korvane {
namespace {

std::string withSlash(const std::string& folder) {
    return folder.ends_with('/') ? folder : folder + '/';
}

// Walks the zone's arenas in name order: `load` gets each arena's request
// (the base with the arena's file, zone and arena) and says whether the
// arena was loaded; `fail` gets those whose file cannot be read.
ZoneRun walkZone(const std::string& zone, const CheckRequest& base,
                 const std::function<bool(const CheckRequest&)>& load,
                 const std::function<void(const ZoneArena&)>& fail) {
    ZoneRun run;
    const ZoneArenas found = zoneArenas(zone, base.files);
    run.listError = found.error;
    run.unlisted = found.unlisted;
    run.empty = found.arenas.empty();
    // The zone as checking an arena's own file would name it.
    const std::string root = arenaPlaceOf(withSlash(zone) + "arenas/(default)/arena.conf").zone;
    for (const ZoneArena& arena : found.arenas) {
        if (arena.status != FileStatus::Ok) {
            fail(arena);
            continue;
        }
        CheckRequest request = base;
        request.path = arena.path;
        request.zone = root;
        request.arena = arena.name;
        request.standardInput = false;
        if (load(request))
            ++run.arenas;
    }
    return run;
}

// The result for an arena whose file cannot be read: its name and why.
template <class Result>
Result unreadableArena(const ZoneArena& arena) {
    Result result;
    result.name = arena.path;
    result.arena = arena.name;
    result.status = arena.status;
    result.error = arena.error;
    return result;
}

} // namespace

std::string arenaNote(const std::string& zone, const std::string& file,
                      const std::optional<std::string>& arena) {
    if (!arena || file == withSlash(zone) + "arenas/" + *arena + "/arena.conf")
        return {};
    return " (arena " + quotedName(*arena) + ")";
}

std::string zoneSummaryLine(const ZoneRun& run) {
    return "Arenas checked: " + std::to_string(run.arenas) +
           ", with errors: " + std::to_string(run.arenasWithErrors) +
           ", total errors: " + std::to_string(run.errors) + ".";
}

ZoneRun checkZone(const std::string& zone, const CheckRequest& base,
                  const std::function<void(const CheckResult&)>& each) {
    // Included files are read once for all arenas.
    IncludeCache cache;
    CheckRequest shared = base;
    if (!shared.cache)
        shared.cache = &cache;
    long long errors = 0;
    std::size_t withErrors = 0;
    ZoneRun run = walkZone(
        zone, shared,
        [&](const CheckRequest& request) {
            CheckResult result = check(request);
            result.arena = request.arena;
            const bool ok = result.status == FileStatus::Ok;
            if (ok) {
                errors += result.errors;
                withErrors += result.errors > 0 ? 1 : 0;
            }
            each(result);
            return ok;
        },
        [&](const ZoneArena& arena) {
            CheckResult result = unreadableArena<CheckResult>(arena);
            result.watch.push_back(arena.path);
            each(result);
        });
    run.errors = errors;
    run.arenasWithErrors = withErrors;
    return run;
}

ZoneRun effectiveZone(const std::string& zone, const CheckRequest& base,
                      const std::function<void(const EffectiveResult&)>& each) {
    return walkZone(
        zone, base,
        [&](const CheckRequest& request) {
            EffectiveResult result = effectiveSettings(request);
            result.arena = request.arena;
            each(result);
            return result.status == FileStatus::Ok;
        },
        [&](const ZoneArena& arena) { each(unreadableArena<EffectiveResult>(arena)); });
}

} // namespace korvane
