#include "include_replay.h"

#include "include_lookup.h"

#include <algorithm>
#include <optional>

namespace korvane {

namespace {

constexpr std::size_t kAllocation = 16; // an allocator's own words per block

std::size_t text(const std::string& s) {
    return sizeof s + (s.capacity() > 15 ? s.capacity() + kAllocation : 0);
}

std::size_t defined(const DefinedNames& names) {
    std::size_t bytes = sizeof names + names.bucket_count() * sizeof(void*);
    for (const std::string& name : names)
        bytes += text(name) + sizeof(void*) * 2 + kAllocation;
    return bytes;
}

template <typename T, typename Each>
std::size_t each(const std::vector<T>& v, Each bytesOf) {
    std::size_t bytes = sizeof v + (v.capacity() - v.size()) * sizeof(T) + kAllocation;
    for (const T& item : v)
        bytes += bytesOf(item);
    return bytes;
}

} // namespace

std::size_t IncludeCache::footprint(const std::string& path, const IncludeEntry& entry,
                                    const IncludeEffect& e) {
    using E = IncludeEffect;
    return text(path) + sizeof(Kept) + text(entry.section) + defined(entry.defines) +
           each(e.files, [](const E::File& f) { return sizeof f + text(f.name) - sizeof f.name; }) +
           each(e.nodes,
                [](const E::Node& n) { return sizeof n + text(n.node.name) - sizeof n.node.name; }) +
           each(e.assigned,
                [](const E::Assigned& a) { return sizeof a + text(a.text) - sizeof a.text; }) +
           each(e.decisions,
                [](const E::Decision& d) { return sizeof d + text(d.name) - sizeof d.name; }) +
           each(e.warnings,
                [](const Warning& w) {
                    return sizeof w + text(w.text) - sizeof w.text +
                           (w.where ? text(w.where->file) - sizeof w.where->file : 0);
                }) +
           each(e.lookups,
                [](const auto& l) {
                    return text(l.first) + text(l.second);
                }) +
           text(e.section) + defined(e.defines);
}

} // namespace korvane

namespace korvane::include {

IncludeEntry IncludeReplay::entry(int depth) const {
    return {depth, load_.section, load_.inSection, branches_.defines(),
            std::min(branches_.levels(), Branches::kListedLevels)};
}

bool IncludeReplay::replay(const std::string& path, const IncludeEntry& entry,
                           const FileLine& at) {
    for (const IncludeCache::Kept& kept : cache_.kept(path)) {
        if (kept.entry == entry && replayable(kept.effect)) {
            ++cache_.replays;
            play(kept.effect, at);
            return true;
        }
    }
    ++cache_.reads;
    return false;
}

// Whether a kept effect is what reading the file would do now: within the
// load's bounds, with its includes found as they were. Each name is looked
// up once a load, and only until the load's bound of look-ups has been
// spent on it: then the files are read as without a cache.
bool IncludeReplay::replayable(const IncludeEffect& e) {
    if (load_.included + e.included >= load_.limits.maxIncludes ||
        load_.bytes + e.bytes > load_.limits.maxBytes ||
        load_.lookups + e.lookedUp >= load_.limits.maxLookups)
        return false;
    for (const auto& [name, outcome] : e.lookups) {
        auto it = load_.outcomes.find(name);
        if (it == load_.outcomes.end()) {
            if (load_.replayLookups >= load_.limits.maxLookups)
                return false;
            it = load_.outcomes
                     .emplace(name, findInclude(load_, files_, place_, name, false).outcome())
                     .first;
        }
        if (it->second != outcome)
            return false;
    }
    return true;
}

void IncludeReplay::play(const IncludeEffect& e, const FileLine& at) {
    IncludeSettings& out = *load_.out;
    const auto fileBase = static_cast<std::uint32_t>(out.files.size());
    const auto moved = [&](const FileLine& p) { return FileLine{fileBase + p.file, p.line}; };
    for (std::size_t i = 0; i < e.files.size(); ++i)
        out.addFile(e.files[i].name, i == 0 ? at : moved(e.files[i].from));
    const std::uint32_t entryNode = branches_.node();
    const auto nodeBase = static_cast<std::uint32_t>(out.nodes.size());
    const auto node = [&](std::uint32_t n) {
        return n == IncludeEffect::kEntry ? entryNode : nodeBase + n;
    };
    // Branches decided before the file are decided as this load decided them.
    for (const IncludeEffect::Node& kept : e.nodes) {
        BranchNode b = kept.node;
        b.parent = node(b.parent);
        b.at = moved(b.at);
        b.decidedBy = kept.decidedOutside ? branches_.decided(lowered(b.name))
                                          : std::optional(moved(*b.decidedBy));
        out.nodes.push_back(std::move(b));
    }
    for (const IncludeEffect::Assigned& a : e.assigned)
        load_.assign(a.index, a.value, a.text, moved(a.at), node(a.node));
    for (const IncludeEffect::Decision& d : e.decisions)
        branches_.decide(d.name, moved(d.at));
    for (const Warning& w : e.warnings)
        load_.addWarning(w);
    // Past the warnings played, the list is full.
    load_.dropped += e.warningsPast;
    for (Recording& r : load_.recordings) {
        r.effect.warningsPast += e.warningsPast;
        if (r.effect.lookups.size() + e.lookups.size() <= IncludeCache::kMaxLookups)
            r.effect.lookups.insert(r.effect.lookups.end(), e.lookups.begin(), e.lookups.end());
        else
            r.keepable = false;
    }
    load_.bytes += e.bytes;
    load_.included += e.included;
    load_.lookups += e.lookedUp;
    load_.section = e.section;
    load_.inSection = e.inSection;
    if (load_.inSection)
        load_.sectionEntered();
    branches_.setDefines(e.defines);
}

void IncludeReplay::begin() {
    const std::uint32_t entryNode = branches_.node();
    load_.recordings.push_back({static_cast<std::uint32_t>(load_.out->files.size()),
                                static_cast<std::uint32_t>(load_.out->nodes.size()),
                                entryNode,
                                load_.bytes,
                                load_.included,
                                load_.lookups,
                                branches_.levels(),
                                {},
                                true});
}

void IncludeReplay::end(const std::string& path, IncludeEntry entry, bool leaks) {
    Recording r = std::move(load_.recordings.back());
    load_.recordings.pop_back();
    // What leaks out of the file (a join still open, an #ifdef left open or
    // one of the includer's closed) is not kept.
    if (!r.keepable || leaks || load_.stopped || branches_.levels() != r.branchBase ||
        branches_.defines().size() > IncludeCache::kMaxDefines)
        return;
    const IncludeSettings& out = *load_.out;
    IncludeEffect& e = r.effect;
    const auto inside = [&](const FileLine& p) { return FileLine{p.file - r.fileBase, p.line}; };
    // A node as the kept file numbers it; none for one outside it.
    const auto keptNode = [&](std::uint32_t n) -> std::optional<std::uint32_t> {
        if (n == r.entryNode)
            return IncludeEffect::kEntry;
        if (n == kNone || n < r.nodeBase)
            return std::nullopt;
        return n - r.nodeBase;
    };
    for (std::size_t i = r.fileBase; i < out.files.size(); ++i)
        e.files.push_back({out.files[i], i == r.fileBase ? FileLine{} : inside(out.includedFrom[i])});
    for (std::size_t i = r.nodeBase; i < out.nodes.size(); ++i) {
        IncludeEffect::Node n{out.nodes[i], false};
        const auto parent = keptNode(n.node.parent);
        if (!parent)
            return;
        n.node.parent = *parent;
        n.node.at = inside(n.node.at);
        n.decidedOutside = !n.node.decidedBy || n.node.decidedBy->file < r.fileBase;
        n.node.decidedBy = n.decidedOutside ? std::nullopt : std::optional(inside(*n.node.decidedBy));
        e.nodes.push_back(std::move(n));
    }
    for (IncludeEffect::Assigned& a : e.assigned) {
        const auto n = keptNode(a.node);
        if (!n)
            return;
        a.node = *n;
        a.at = inside(a.at);
    }
    for (IncludeEffect::Decision& d : e.decisions)
        d.at = inside(d.at);
    e.bytes = load_.bytes - r.bytesAt;
    e.included = load_.included - r.includedAt;
    e.lookedUp = load_.lookups - r.lookupsAt;
    e.section = load_.section;
    e.inSection = load_.inSection;
    e.defines = branches_.defines();
    cache_.keep(path, std::move(entry), std::move(e));
}

} // namespace korvane::include
