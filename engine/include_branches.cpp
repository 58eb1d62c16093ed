#include "include_branches.h"

namespace korvane::include {

void Branches::open(std::string_view text, const FileLine& at) {
    const std::string_view name = stripped(argument(text, 6), "({", ")}");
    const std::string key = lowered(name);
    const bool defined = defines_.contains(key);
    const bool ifndef = text[3] == 'n';
    const bool taken = ifndef ? !defined : defined;
    const bool outer = active();
    branches_.push_back({outer, outer && taken, false});
    if (branches_.size() <= load_.limits.maxWarnings)
        openAt_.push_back(at);
    // Only branches whose lines can be read can hold an assignment.
    if (outer && listed_.size() + 1 == branches_.size() && listed_.size() < kListedLevels)
        listed_.push_back(
            {{kNone, at, std::string(name), decided(key), ifndef, false, defined}, kNone});
}

void Branches::otherwise(const FileLine& at) {
    touched();
    if (branches_.empty()) {
        load_.warn(at, "#else without #ifdef");
    } else if (branches_.back().elseSeen) {
        load_.warn(at, "second #else for one #ifdef: ignored");
    } else {
        Branch& b = branches_.back();
        b.elseSeen = true;
        b.taken = b.outerActive && !b.taken;
        if (listed_.size() == branches_.size()) {
            listed_.back().node.inElse = true;
            listed_.back().index = kNone;
            made_ = std::min(made_, listed_.size() - 1);
        }
    }
}

void Branches::close(const FileLine& at) {
    touched();
    if (branches_.empty()) {
        load_.warn(at, "#endif without #ifdef");
        return;
    }
    branches_.pop_back();
    if (openAt_.size() > branches_.size())
        openAt_.pop_back();
    if (listed_.size() > branches_.size())
        listed_.pop_back();
    made_ = std::min(made_, listed_.size());
}

void Branches::touched() {
    for (Recording& r : load_.recordings) {
        if (branches_.size() <= r.branchBase)
            r.keepable = false;
    }
}

// Defines a (lowered) name, within the limits: every name is held until
// the load ends, so their count and their bytes are both bounded.
void Branches::define(std::string_view word, const FileLine& at) {
    std::string name = lowered(word);
    if (defines_.contains(name))
        return;
    if (defines_.size() == load_.limits.maxDefines ||
        definedBytes_ + name.size() > load_.limits.maxDefinedBytes) {
        load_.unkeepable(); // warned about once per load
        if (!definesFull_)
            load_.warn(at, defines_.size() == load_.limits.maxDefines
                               ? "more than " + std::to_string(load_.limits.maxDefines) +
                                     " names defined: the rest are ignored"
                               : "more than " + std::to_string(load_.limits.maxDefinedBytes) +
                                     " bytes of defined names: the rest are ignored");
        definesFull_ = true;
        return;
    }
    definedBytes_ += name.size();
    decide(name, at);
    defines_.insert(std::move(name));
}

// The whole argument is the name: "#undef X Y" leaves X defined.
void Branches::undefine(std::string_view text, const FileLine& at) {
    const auto it = defines_.find(lowered(text));
    if (it == defines_.end())
        return;
    definedBytes_ -= it->size();
    decide(*it, at);
    defines_.erase(it);
}

std::uint32_t Branches::node() {
    for (; made_ < listed_.size(); ++made_) {
        Listed& level = listed_[made_];
        if (level.index != kNone)
            continue;
        if (load_.out->nodes.size() == IncludeSettings::kMaxNodes)
            return made_ == 0 ? kNone : listed_[made_ - 1].index;
        level.node.parent = made_ == 0 ? kNone : listed_[made_ - 1].index;
        level.index = static_cast<std::uint32_t>(load_.out->nodes.size());
        load_.out->nodes.push_back(level.node);
    }
    return listed_.empty() ? kNone : listed_.back().index;
}

void Branches::finish() {
    for (const FileLine& at : openAt_)
        load_.warn(at, "#ifdef still open when everything has been read");
    // Where the others opened is not kept: their warnings would not be
    // shown, only counted.
    load_.dropped += branches_.size() - openAt_.size();
}

void Branches::setDefines(const DefinedNames& defines) {
    defines_ = defines;
    definedBytes_ = 0;
    for (const std::string& name : defines_)
        definedBytes_ += name.size();
}

std::optional<FileLine> Branches::decided(const std::string& name) const {
    const auto it = decided_.find(name);
    return it == decided_.end() ? std::nullopt : std::optional(it->second);
}

void Branches::decide(const std::string& name, const FileLine& at) {
    // The names undefined are bounded as the defined ones are.
    if (decided_.size() < 2 * load_.limits.maxDefines || decided_.contains(name))
        decided_[name] = at;
    for (Recording& r : load_.recordings) {
        if (r.keepable)
            r.effect.decisions.push_back({name, at});
    }
}

} // namespace korvane::include
