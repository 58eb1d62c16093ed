#include "include_keys.h"

#include "byte_scan.h"

#include <algorithm>

namespace korvane::include {

void LoadState::addWarning(Warning w) {
    for (Recording& r : recordings) {
        if (r.effect.warnings.size() < limits.maxWarnings)
            r.effect.warnings.push_back(w);
        else
            ++r.effect.warningsPast;
    }
    if (out->warningList.size() == limits.maxWarnings) {
        ++dropped;
        return;
    }
    out->warningList.push_back(std::move(w));
}

void LoadState::header(std::string_view text) {
    text = stripped(text, "[", "]").substr(0, kSectionBytes);
    section.assign(text); // in its own room: no allocation
    for (char& c : section)
        c = asciiLower(c);
    if (!filtered)
        sectionWritten.assign(text);
    inSection = true;
    sectionEntered();
}

void LoadState::sectionEntered() {
    if (!filtered)
        return;
    const auto wanted = std::find(kept->sections.begin(), kept->sections.end(), section);
    sectionWanted = wanted != kept->sections.end();
    sectionIndex = static_cast<std::size_t>(wanted - kept->sections.begin());
}

std::optional<std::size_t> KeyLines::keptIndex(std::string_view key) const {
    std::optional<std::size_t> kept;
    load_.kept->keyTable.find(key, [&](std::size_t k) {
        kept = load_.kept->at[load_.sectionIndex * load_.kept->keyCount + k];
    });
    return kept;
}

std::string_view KeyLines::unescapeValue(std::string_view value) {
    value_.clear();
    unescape(value, '\0', std::string::npos, value_);
    return value_;
}

void LoadState::assign(std::size_t slot, std::int32_t value, std::string_view text,
                       const FileLine& at, std::uint32_t node) {
    out->assign(slot, value, text, at, node);
    for (Recording& r : recordings) {
        if (!r.keepable)
            continue;
        if (r.effect.assigned.size() < IncludeCache::kMaxLookups)
            r.effect.assigned.push_back({slot, value, std::string(text), at, node});
        else
            r.keepable = false;
    }
}

void KeyLines::set(std::size_t slot, std::string_view value, const FileLine& at) {
    load_.assign(slot, includeValueToInt(value), value, at, branches_.node());
}

void KeyLines::line(std::string_view text, const FileLine& at, bool plain) {
    if (text.front() == '=')
        return;
    // Most lines of a big zone are plain keys (no ':', no '\\') that a
    // filtered load keeps only in a kept section, and only a few of.
    if (load_.filtered && load_.fastFilter && load_.inSection) {
        if (plain && !load_.sectionWanted)
            return;
        // Where the plain key ends: at its '=', at a ':' or '\\' in it, or
        // at the end.
        const std::size_t keyEnd = bytescan::findFirst(text, 0, '=', ':', '\\');
        const bool plainKey = keyEnd == text.size() || text[keyEnd] == '=';
        if (plainKey && !load_.sectionWanted)
            return;
        if (plainKey && keyEnd <= kKeyBytes) {
            std::string_view key = text.substr(0, keyEnd);
            while (!key.empty() && isSpace(key.back()))
                key.remove_suffix(1);
            const auto index = keptIndex(key);
            if (!index)
                return;
            std::string_view value = text.substr(std::min(text.size(), keyEnd + 1));
            while (!value.empty() && isSpace(value.front()))
                value.remove_prefix(1);
            if (value.find('\\') != std::string_view::npos)
                value = unescapeValue(value);
            set(*index, value, at);
            return;
        }
    }
    key_.clear();
    const std::size_t end = unescape(text, '=', kKeyBytes, key_);
    // A key cut at its 63rd byte, or on a line without '=', stands as it
    // is; only a key before its '=' loses its end blanks (escaped ones too).
    const bool hasValue = end < text.size() && text[end] == '=';
    if (hasValue) {
        while (!key_.empty() && isSpace(key_.back()))
            key_.pop_back();
    }
    // Only a key with its value names Section:Key itself; a line without
    // '=' belongs to the current section, or before any header is kept
    // under its bare name.
    name_.clear();
    const bool inCurrent = !hasValue || key_.find(':') == std::string::npos;
    if (inCurrent) {
        if (load_.inSection) {
            name_ = load_.section;
            name_ += ':';
        } else if (hasValue) {
            load_.warn(at, "value not in any section: ignored");
            return;
        }
    }
    for (const char c : key_)
        name_ += asciiLower(c);
    std::size_t index;
    if (const auto it = load_.out->names().find(std::string_view(name_));
        it != load_.out->names().end()) {
        index = it->second;
    } else if (load_.filtered) {
        return;
    } else {
        index = load_.out->assignments.size();
        written_.clear();
        if (inCurrent && load_.inSection)
            written_ = load_.sectionWritten + ':';
        written_ += key_;
        load_.out->keep(name_, written_);
    }
    std::string_view value = hasValue ? text.substr(end + 1) : std::string_view();
    while (!value.empty() && isSpace(value.front()))
        value.remove_prefix(1);
    set(index, unescapeValue(value), at);
}

} // namespace korvane::include
