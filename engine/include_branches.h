#pragma once

// #ifdef, #ifndef, #else, #endif, #define and #undef (include_reader.h,
// choice 4), and the branches an assignment sits in, for its origin.

#include "include_load.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace korvane::include {

class Branches {
public:
    // An origin lists the branches of the first levels open, up to this.
    static constexpr std::size_t kListedLevels = 100;

    explicit Branches(LoadState& load) : load_(load) {}

    bool active() const { return branches_.empty() || branches_.back().taken; }
    std::size_t levels() const { return branches_.size(); }

    void open(std::string_view text, const FileLine& at); // #ifdef, #ifndef
    void otherwise(const FileLine& at);                   // #else
    void close(const FileLine& at);                       // #endif
    void define(std::string_view name, const FileLine& at);
    void undefine(std::string_view name, const FileLine& at);

    // The innermost branch the lines now read sit in, as a node of the
    // load's tree (made where none is yet), or kNone.
    std::uint32_t node();

    // Warns of what is still open when everything has been read.
    void finish();

    const DefinedNames& defines() const { return defines_; }
    void setDefines(const DefinedNames& defines);
    // The #define or #undef line that last decided a (lowered) name.
    std::optional<FileLine> decided(const std::string& name) const;
    void decide(const std::string& name, const FileLine& at);

private:
    // Three bytes a branch: a hostile file of "#ifdef" lines holds less
    // than it reads.
    struct Branch {
        bool outerActive;
        bool taken; // the lines of the current branch are read
        bool elseSeen;
    };
    // A branch listed in origins, and its node once made.
    struct Listed {
        BranchNode node;
        std::uint32_t index = kNone;
    };

    // An #else or #endif: the files that it reaches out of are not kept.
    void touched();

    LoadState& load_;
    std::vector<Branch> branches_;
    std::vector<FileLine> openAt_; // where the first branches (up to maxWarnings) opened
    std::vector<Listed> listed_;   // the first kListedLevels
    std::size_t made_ = 0;         // levels of listed_ whose node is made
    DefinedNames defines_;         // lowered
    std::size_t definedBytes_ = 0; // the bytes of their names
    bool definesFull_ = false;
    std::unordered_map<std::string, FileLine> decided_; // lowered name: last #define/#undef
};

} // namespace korvane::include
