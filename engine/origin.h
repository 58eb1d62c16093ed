#pragma once

// Where a setting's value came from, as the reader recorded it while it
// read: the line that set it, the #include lines that led to that file, the
// #ifdef/#ifndef branches around it and what it replaced. Data, not a second
// pass: front ends only render it.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// A line of a settings file, named as the user can open it.
struct Location {
    std::string file;
    std::size_t line; // counted from 1 as an editor counts (LF, CR LF or lone CR)
    bool operator==(const Location&) const = default;
};

// An #ifdef or #ifndef whose lines were read where the value was set.
struct BranchTaken {
    Location at;       // the #ifdef/#ifndef line
    bool ifndef;       // #ifndef (else #ifdef)
    std::string name;  // the name tested, as written
    bool inElse;       // the value sits after its #else
    bool defined;      // whether the name was defined when tested
    // The #define (or #undef) line that decided it; none where the name was
    // never defined or undefined before the test.
    std::optional<Location> decidedBy;
    bool operator==(const BranchTaken&) const = default;
};

// An earlier assignment of the same setting that a later one replaced.
struct Overridden {
    Location at;
    std::string value; // as written there
    bool operator==(const Overridden&) const = default;
};

struct Origin {
    Location at;                      // the line that set the value
    std::vector<Location> via;        // the #include lines that led to at.file, outermost first
    std::vector<BranchTaken> branches;  // outermost first
    std::vector<Overridden> overrides;  // earlier assignments, first first
    bool operator==(const Origin&) const = default;
};

// A setting as the server loads it, for the effective-settings view.
struct EffectiveSetting {
    std::string section; // as first written
    std::string key;     // as first written
    std::string value;   // the text the server keeps
    Origin origin;
    bool operator==(const EffectiveSetting&) const = default;
};

} // namespace korvane
