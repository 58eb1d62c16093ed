// Arbitrary bytes as the files of a zone, through the include reader, held
// against the plain reading of the servers' rules (include_oracle.h): every
// setting either finds, with its value, file and line, and a few that
// neither should find. The same load keeping only some settings must give
// the same answers for those.
//
// The bytes are split at each "\n%%": the first part is the checked file,
// arenas/a/arena.conf; each later part's first byte picks its name from
// kNames. Includes are followed at most kLimits deep and often.
#include "fuzz_check.h"
#include "include_oracle.h"
#include "include_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using korvane::fuzz::IncludeOracle;

constexpr std::array<const char*, 8> kNames = {
    "arenas/a/n",          "conf/n",           "n", "arenas/(default)/n", "frag", "conf/x/y",
    "arenas/a/arena.conf", "conf/ships/w.conf"};
constexpr const char* kChecked = "arenas/a/arena.conf";

const fs::path& zoneFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "korvane-fuzz-zone-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()));
    }();
    return folder;
}

korvane::fuzz::MemoryZone splitZone(std::string_view bytes) {
    korvane::fuzz::MemoryZone zone;
    std::size_t cut = bytes.find("\n%%");
    zone[kChecked] = std::string(bytes.substr(0, cut));
    while (cut != std::string_view::npos) {
        const std::size_t start = cut + 3;
        cut = bytes.find("\n%%", start);
        const std::string_view part =
            bytes.substr(start, cut == std::string_view::npos ? cut : cut - start);
        if (!part.empty())
            zone[kNames[static_cast<unsigned char>(part[0]) % kNames.size()]] = part.substr(1);
    }
    return zone;
}

// The first ':' splits a combined name into the section and key asked for.
std::pair<std::string, std::string> splitName(const std::string& name) {
    const std::size_t colon = name.find(':');
    return {name.substr(0, colon), name.substr(colon + 1)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const korvane::fuzz::MemoryZone files =
        splitZone(std::string_view(reinterpret_cast<const char*>(data), size));
    const korvane::IncludeLimits limits{4, 24};
    const IncludeOracle oracle(files, kChecked, "a", {limits.maxDepth, limits.maxIncludes});
    if (oracle.leftZone())
        return 0; // its files are not the zone's own: nothing to compare with

    const fs::path& folder = zoneFolder();
    fs::remove_all(folder);
    for (const auto& [name, bytes] : files) {
        fs::create_directories((folder / name).parent_path());
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    const std::string checked = (folder / kChecked).string();
    const korvane::ArenaPlace place{folder.string(), "a"};
    const auto all = korvane::loadArena(checked, std::nullopt, place, nullptr, limits);
    FUZZ_CHECK(all.status == korvane::FileStatus::Ok);

    // The settings asked for: some fixed names, and the first that the
    // oracle found. Two filtered loads: one with all of them, and one with
    // the fixed sections alone and names holding a single ':', so that the
    // sections found elsewhere are not kept and are passed over by the fast
    // path.
    std::vector<std::string> sections = {"S", "T", "Warbird", "s:t"};
    std::vector<std::string> keys = {"A", "B", "C", "InitialEnergy", "", "t:a"};
    for (const auto& [name, expected] : oracle.settings()) {
        const auto [section, key] = splitName(name);
        const korvane::Setting s = all.settings->read(section, key);
        FUZZ_CHECK(s.where != korvane::Setting::kNowhere);
        FUZZ_CHECK(s.value == expected.value);
        const korvane::Location at = all.settings->locate(s.where);
        FUZZ_CHECK(fs::path(at.file).lexically_normal() == folder / expected.file);
        FUZZ_CHECK(at.line == expected.line);
        if (sections.size() < 12) {
            sections.push_back(section);
            keys.push_back(key);
        }
    }
    const auto keptAgree = [&](const std::vector<std::string>& sections,
                               const std::vector<std::string>& keys) {
        std::vector<std::string_view> sectionViews(sections.begin(), sections.end());
        std::vector<std::string_view> keyViews(keys.begin(), keys.end());
        const korvane::SettingNames wanted{sectionViews, keyViews};
        const auto some = korvane::loadArena(checked, std::nullopt, place, &wanted, limits);
        std::vector<korvane::Setting> kept(sections.size() * keys.size());
        std::vector<korvane::Setting> whole(kept.size());
        some.settings->read(sectionViews, keyViews, kept);
        all.settings->read(sectionViews, keyViews, whole);
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const auto expected = oracle.find(sections[i / keys.size()], keys[i % keys.size()]);
            FUZZ_CHECK((whole[i].where != korvane::Setting::kNowhere) == expected.has_value());
            FUZZ_CHECK((kept[i].where != korvane::Setting::kNowhere) == expected.has_value());
            FUZZ_CHECK(kept[i].value == whole[i].value);
            if (expected)
                FUZZ_CHECK(some.settings->locate(kept[i].where) ==
                           all.settings->locate(whole[i].where));
        }
        FUZZ_CHECK(some.settings->warnings().size() == all.settings->warnings().size());
    };
    keptAgree(sections, keys);
    const auto noColon = [](const std::string& s) { return s.find(':') == std::string::npos; };
    std::vector<std::string> plainSections = {"S", "T", "Warbird"};
    std::vector<std::string> plainKeys;
    std::copy_if(keys.begin(), keys.end(), std::back_inserter(plainKeys), noColon);
    keptAgree(plainSections, plainKeys);
    for (const korvane::Warning& w : all.settings->warnings())
        FUZZ_CHECK(!w.where || w.where->line >= 1);
    return 0;
}
