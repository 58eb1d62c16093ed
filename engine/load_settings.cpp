#include "load_settings.h"

#include "file_source.h"
#include "include_reader.h"
#include "ascii.h"
#include "profile.h"
#include "ship_rules.h"

#include <unordered_set>
#include <vector>

namespace korvane {
namespace {

class ProfileSettings final : public Settings {
public:
    ProfileSettings(Profile profile, std::string name, std::vector<Warning> warnings = {})
        : profile_(std::move(profile)), name_(std::move(name)), warnings_(std::move(warnings)) {}

    void read(std::span<const std::string_view> sections, std::span<const std::string_view> keys,
              std::span<Setting> out) const override {
        std::vector<std::optional<Profile::KeyLine>> found(keys.size());
        // One search finds every section; findKeys then walks each from it.
        std::vector<std::optional<std::size_t>> headers(sections.size());
        profile_.findSections(sections, headers);
        for (std::size_t s = 0; s < sections.size(); ++s) {
            const auto header = profile_.findKeys(sections[s], keys, found);
            for (std::size_t k = 0; k < keys.size(); ++k) {
                // An absent key points at its section's header line.
                out[s * keys.size() + k] =
                    found[k] ? Setting{profileValueToInt(found[k]->value), found[k]->offset, true}
                             : Setting{0, header.value_or(Setting::kNowhere), false};
            }
        }
    }

    Location locate(std::size_t where) const override { return {name_, profile_.lineAt(where)}; }

    std::vector<std::string> filesRead() const override { return {name_}; }

    // Only the first section of a name is read, and in it the first line
    // naming a key: later ones are not loaded.
    std::vector<EffectiveSetting> effective(
        std::span<const std::string_view> sections) const override {
        std::vector<EffectiveSetting> out;
        std::string written;
        for (const std::string_view section : sections) {
            std::unordered_set<std::string> seen;
            profile_.eachKey(
                section,
                [&](std::string_view key, const Profile::KeyLine& line) {
                    std::string lowered(key);
                    for (char& c : lowered)
                        c = asciiLower(c);
                    if (seen.insert(std::move(lowered)).second)
                        out.push_back({written, std::string(key), profileValueText(line.value),
                                       origin(line.offset)});
                },
                written);
        }
        return out;
    }

    int failure() const override { return profile_.damaged() ? kChangedWhileRead : 0; }

    std::span<const Warning> warnings() const override { return warnings_; }

private:
    Profile profile_;
    std::string name_;
    std::vector<Warning> warnings_;
};

bool endsWithConf(std::string_view path) {
    constexpr std::string_view kConf = ".conf";
    if (path.size() < kConf.size())
        return false;
    for (std::size_t i = 0; i < kConf.size(); ++i) {
        const char c = path[path.size() - kConf.size() + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c) != kConf[i])
            return false;
    }
    return true;
}

// Whether bytes look like an arena's .conf file: a line that starts with
// one of the include dialect's directives.
bool holdsDirectives(std::string_view bytes) {
    for (const std::string_view directive : {"\n#include", "\n#define", "\n#ifdef", "\n#ifndef"}) {
        if (bytes.starts_with(directive.substr(1)) ||
            bytes.find(directive) != std::string_view::npos)
            return true;
    }
    return false;
}

} // namespace

LoadedSettings loadSettings(SettingsRequest request) {
    std::vector<Warning> warnings;
    if (request.standardInput && !request.input) {
        FileRead read = readStandardInput();
        if (read.status != FileStatus::Ok)
            return {std::make_unique<ProfileSettings>(Profile::parse(Bytes()), request.path),
                    read.status, read.error};
        // Without a name, the dialect cannot follow from it.
        if (request.dialect == Dialect::Auto &&
            (endsWithConf(read.source) || holdsDirectives(read.bytes.view())))
            warnings.push_back({std::nullopt, "read as a profile file: for an arena's .conf "
                                              "file, give --dialect=include"});
        request.input = std::move(read.bytes);
    }
    const bool includes =
        request.dialect == Dialect::Include ||
        (request.dialect == Dialect::Auto && !request.input && endsWithConf(request.path));
    if (includes) {
        ArenaPlace place = request.input ? ArenaPlace{".", ""} : arenaPlaceOf(request.path);
        if (request.zone)
            place.zone = *request.zone;
        if (request.arena)
            place.arena = *request.arena;
        // A check run reads the eight ships' rule keys and nothing else.
        const SettingNames wanted{kShips, ruleKeys()};
        ArenaLoad load = loadArena(
            request.path, request.input ? std::optional(request.input->view()) : std::nullopt,
            place, request.everySetting ? nullptr : &wanted, {}, request.cache, request.files);
        return {std::move(load.settings), load.status, load.error};
    }
    const FileSource& files = request.files ? *request.files : diskFiles();
    FileRead read = request.input ? FileRead{std::move(*request.input)} : files.read(request.path);
    return {std::make_unique<ProfileSettings>(Profile::parse(std::move(read.bytes)),
                                              std::move(request.path), std::move(warnings)),
            read.status, read.error};
}

} // namespace korvane
