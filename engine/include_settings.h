#pragma once

// What an include load keeps: each setting's assignment and, recorded as
// the lines were read, where it came from (origin.h). Memory stays small:
// each file links to the #include line that read it, the branches form a
// tree that assignments point into, and each assignment links to the one
// it replaced.

#include "include_text.h"
#include "settings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace korvane::include {

constexpr std::uint32_t kNone = UINT32_MAX;

// A line of one of the load's files, by the file's index.
struct FileLine {
    std::uint32_t file = kNone;
    std::size_t line = 0;
    bool operator==(const FileLine&) const = default;
};

// An #ifdef/#ifndef whose lines were read, or its #else part.
struct BranchNode {
    std::uint32_t parent = kNone; // the branch around it
    FileLine at;
    std::string name; // as written
    std::optional<FileLine> decidedBy;
    bool ifndef = false, inElse = false, defined = false;
    bool operator==(const BranchNode&) const = default;
};

// One assignment of a setting.
struct Assignment {
    std::int32_t value = 0;
    FileLine at;
    std::uint32_t node = kNone;     // the innermost branch around it
    std::uint32_t replaced = kNone; // the assignment it replaced, in `overridden`
    std::uint32_t order = 0;        // when the setting was first set
    std::uint32_t replacedKept = 0; // the assignments replaced that are kept
    bool set = false;
    std::string text; // the value as the server keeps it
};

class IncludeSettings final : public Settings {
public:
    // Assignments replaced, and branches, kept for origins: past these, an
    // origin lists fewer (a hostile file of millions of lines). Of a setting
    // set again and again, the first replaced and the last are kept.
    static constexpr std::size_t kMaxOverridden = 100'000;
    static constexpr std::uint32_t kReplacedPerSetting = 16;
    static constexpr std::size_t kMaxNodes = 100'000;

    void read(std::span<const std::string_view> sections, std::span<const std::string_view> keys,
              std::span<Setting> out) const override;
    Location locate(std::size_t where) const override;
    Origin origin(std::size_t where) const override;
    std::vector<EffectiveSetting>
    effective(std::span<const std::string_view> sections) const override;
    std::span<const Warning> warnings() const override { return warningList; }
    std::vector<std::string> filesRead() const override;
    std::vector<std::string> searched() const override { return searchedList; }

    const NameIndex& names() const { return kept ? kept->byName : byName; }

    // A file read, included from `from` (none for the checked file).
    void addFile(std::string name, FileLine from);
    // A new slot for a setting of a load that keeps every one, named as
    // written ("Section:Key", split at its first ':' for the effective view).
    void keep(std::string lowered, std::string_view written);
    // Sets slot `slot`, the earlier assignment kept as one it replaced.
    void assign(std::size_t slot, std::int32_t value, std::string_view text, FileLine at,
                std::uint32_t node);
    // A path looked at and not read, once.
    void searchedAt(const std::string& path);

    std::shared_ptr<const KeptNames> kept; // of a filtered load
    NameIndex byName;                      // of a load that keeps every setting
    std::vector<std::string> written;      // per slot, of a load that keeps every setting
    std::vector<Assignment> assignments;   // per slot
    std::vector<Assignment> overridden;
    std::vector<std::string> files;
    std::vector<FileLine> includedFrom; // per file
    std::vector<BranchNode> nodes;
    std::vector<Warning> warningList;

private:
    Location location(const FileLine& at) const { return {files.at(at.file), at.line}; }

    std::uint32_t setCount_ = 0;
    std::vector<std::string> searchedList;
    std::unordered_set<std::string> searchedSet;
};

} // namespace korvane::include
