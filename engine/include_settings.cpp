#include "include_settings.h"

#include <algorithm>

namespace korvane::include {

void IncludeSettings::read(std::span<const std::string_view> sections,
                           std::span<const std::string_view> keys, std::span<Setting> out) const {
    // The names kept, asked in their order (as a check run asks them): each
    // is where the load put it.
    if (kept && kept->keeps({sections, keys})) {
        for (std::size_t i = 0; i < kept->at.size(); ++i) {
            const Assignment& a = assignments[kept->at[i]];
            out[i] = a.set ? Setting{a.value, kept->at[i], true} : Setting{};
        }
        return;
    }
    const NameIndex& byNames = names();
    std::size_t i = 0;
    for (const std::string_view section : sections) {
        for (const std::string_view key : keys) {
            const auto it = byNames.find(combinedName(section, key));
            const bool set = it != byNames.end() && assignments[it->second].set;
            out[i++] = set ? Setting{assignments[it->second].value, it->second, true} : Setting{};
        }
    }
}

Location IncludeSettings::locate(std::size_t where) const {
    return location(assignments.at(where).at);
}

Origin IncludeSettings::origin(std::size_t where) const {
    const Assignment& a = assignments.at(where);
    Origin origin{location(a.at), {}, {}, {}};
    for (FileLine from = includedFrom.at(a.at.file); from.file != kNone;
         from = includedFrom[from.file])
        origin.via.push_back(location(from));
    for (std::uint32_t n = a.node; n != kNone; n = nodes[n].parent) {
        const BranchNode& b = nodes[n];
        origin.branches.push_back(
            {location(b.at), b.ifndef, b.name, b.inElse, b.defined,
             b.decidedBy ? std::optional(location(*b.decidedBy)) : std::nullopt});
    }
    for (std::uint32_t r = a.replaced; r != kNone; r = overridden[r].replaced)
        origin.overrides.push_back({location(overridden[r].at), overridden[r].text});
    // Walked from the innermost and the latest: shown outermost and first first.
    std::reverse(origin.via.begin(), origin.via.end());
    std::reverse(origin.branches.begin(), origin.branches.end());
    std::reverse(origin.overrides.begin(), origin.overrides.end());
    return origin;
}

std::vector<EffectiveSetting>
IncludeSettings::effective(std::span<const std::string_view> sections) const {
    // Each slot's section and key as first written (or, filtered, as asked).
    std::vector<std::pair<std::string_view, std::string_view>> named(assignments.size());
    if (kept) {
        for (std::size_t s = kept->givenSections.size(); s-- > 0;) {
            for (std::size_t k = kept->keyCount; k-- > 0;)
                named[kept->at[s * kept->keyCount + k]] = {kept->givenSections[s],
                                                           kept->givenKeys[k]};
        }
    } else {
        for (std::size_t i = 0; i < written.size(); ++i) {
            const std::string_view name = written[i];
            const std::size_t colon = std::min(name.find(':'), name.size());
            named[i] = {name.substr(0, colon), name.substr(std::min(name.size(), colon + 1))};
        }
    }
    std::vector<std::size_t> bySetting;
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        if (assignments[i].set)
            bySetting.push_back(i);
    }
    std::sort(bySetting.begin(), bySetting.end(), [&](std::size_t x, std::size_t y) {
        return assignments[x].order < assignments[y].order;
    });
    std::vector<EffectiveSetting> out;
    for (const std::string_view section : sections) {
        for (const std::size_t i : bySetting) {
            if (sameName(named[i].first, section))
                out.push_back({std::string(named[i].first), std::string(named[i].second),
                               assignments[i].text, origin(i)});
        }
    }
    return out;
}

// `files` has a name per file read, so one included twice is there twice.
std::vector<std::string> IncludeSettings::filesRead() const {
    std::vector<std::string> distinct;
    std::unordered_set<std::string_view> seen;
    for (const std::string& name : files) {
        if (seen.insert(name).second)
            distinct.push_back(name);
    }
    return distinct;
}

void IncludeSettings::addFile(std::string name, FileLine from) {
    files.push_back(std::move(name));
    includedFrom.push_back(from);
}

void IncludeSettings::keep(std::string lowered, std::string_view name) {
    if (byName.emplace(std::move(lowered), assignments.size()).second) {
        assignments.emplace_back();
        written.emplace_back(name);
    }
}

void IncludeSettings::assign(std::size_t slot, std::int32_t value, std::string_view text,
                             FileLine at, std::uint32_t node) {
    Assignment& a = assignments[slot];
    std::uint32_t replaced = kNone;
    std::uint32_t kept = a.replacedKept;
    if (!a.set) {
        a.order = setCount_++;
    } else if (kept >= kReplacedPerSetting) {
        // The last one replaced takes the place of the one before it.
        replaced = a.replaced;
        const std::uint32_t before = overridden[replaced].replaced;
        overridden[replaced] = std::move(a);
        overridden[replaced].replaced = before;
    } else if (overridden.size() < kMaxOverridden) {
        replaced = static_cast<std::uint32_t>(overridden.size());
        overridden.push_back(std::move(a));
        ++kept;
    } else {
        replaced = a.replaced; // the one between is not kept
    }
    const std::uint32_t order = a.order;
    a = {value, at, node, replaced, order, kept, true, std::string(text)};
}

void IncludeSettings::searchedAt(const std::string& path) {
    if (searchedSet.insert(path).second)
        searchedList.push_back(path);
}

} // namespace korvane::include
