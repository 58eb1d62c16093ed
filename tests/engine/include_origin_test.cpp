// Where each value came from, field by field, on the include dialect's
// cases: one table per field of an origin. Every case is loaded keeping
// every setting and keeping only a few; both must tell the same.
#include "file_source.h"
#include "include_cache.h"
#include "include_reader.h"

#include <gtest/gtest.h>
#include <map>

namespace korvane {
namespace {

const std::string kChecked = "Z/arenas/a/arena.conf";

// The cases' files under the zone Z: the checked file first.
const std::map<std::string, std::vector<std::pair<std::string, std::string>>> kCases = {
    {"later wins", {{kChecked, "[S]\nA=1\nA=2\n"}}},
    {"set twenty times",
     {{kChecked,
       [] {
           std::string lines = "[S]\n";
           for (int i = 1; i <= 20; ++i)
               lines += "A=" + std::to_string(i) + "\n";
           return lines;
       }()}}},
    {"reopened", {{kChecked, "[S]\nA=1\n[T]\nB=1\n[S]\nA=3\n"}}},
    {"qualified key", {{kChecked, "[T]\nS:A=4\nB=5\n"}}},
    {"no =", {{kChecked, "[S]\nA=5\nA\n"}}},
    {"no =, with :", {{kChecked, "T:A\n[S]\nT:B\nT:C=5\n"}}},
    {"long key", {{kChecked, "[S]\nA=2\nA" + std::string(62, ' ') + "x\n"}}},
    {"define case", {{kChecked, "#define league\n[S]\n#ifdef LEAGUE\nA=1\n#endif\n"}}},
    {"undef two words", {{kChecked, "#define X\n#undef X Y\n[S]\n#ifdef X\nA=1\n#endif\n"}}},
    {"undef", {{kChecked, "#define X\n#undef x\n[S]\n#ifndef (X)\nA=1\n#endif\n"}}},
    {"continuation", {{kChecked, "[S]\nA=1\\\n2\n;x\\\nB=3\nC=4\n"}}},
    {"ifdef", {{kChecked, "#define X\n[S]\n#ifdef X\nA=1\n#else\nA=2\n#endif\n"}}},
    {"nested false",
     {{kChecked, "[S]\n#ifdef X\n#ifdef Y\nA=1\n#else\nA=2\n#endif\n#else\nA=3\n#endif\n"}}},
    {"double else", {{kChecked, "[S]\n#ifdef X\nA=1\n#else\nA=2\n#else\nA=3\n#endif\n"}}},
    {"search order",
     {{kChecked, "[S]\n#include n\n"},
      {"Z/arenas/a/n", "A=1\n"},
      {"Z/conf/n", "A=2\n"},
      {"Z/n", "A=3\n"},
      {"Z/arenas/(default)/n", "A=4\n"}}},
    {"fragment", {{kChecked, "[S]\n#include frag\nB=2\n"}, {"Z/conf/frag", "A=1\n"}}},
    {"header in include", {{kChecked, "[S]\n#include frag\nB=2\n"}, {"Z/conf/frag", "[T]\nA=1\n"}}},
    {"override", {{kChecked, "#include n\n[S]\nA=9\n"}, {"Z/conf/n", "[S]\nA=1\nB=1\n"}}},
    {"join across files",
     {{kChecked, "[S]\n#include j\nA=1\nB=2\n"}, {"Z/conf/j", "C=3\n; note \\\n"}}},
    {"nested include",
     {{kChecked, "\n#include outer\n"},
      {"Z/conf/outer", "[S]\n#define D\n#include inner\nA=6\n"},
      {"Z/arenas/(default)/inner", "#ifdef D\nA=7\nB=8\n#endif\n"}}},
    {"defined in an include",
     {{kChecked, "#include defs\n[S]\n#ifdef X\n#ifndef Y\nA=1\n#endif\n#endif\n"},
      {"Z/conf/defs", "#define X 5\n"}}},
};

// What is asked of each case; a filtered load keeps just these.
const std::vector<std::string_view> kSections = {"S", "T"};
const std::vector<std::string_view> kKeys = {"A", "B", "C"};

std::string shortName(const Location& at) {
    const std::string_view file = at.file;
    return std::string(file.starts_with("Z/") ? file.substr(2) : file) + ":" +
           std::to_string(at.line);
}

enum class Field { Value, File, Line, Via, Branches, Overrides };

// One field of Section:Key's explanation in a case, shown; nothing where it
// is not set. The same whether the load keeps every setting or a few.
std::vector<std::string> explained(Field field, const std::string& name, std::string_view section,
                                   std::string_view key) {
    MemoryFiles files;
    for (const auto& [path, bytes] : kCases.at(name))
        files.put(path, bytes);
    const SettingNames wanted{kSections, kKeys};
    std::vector<std::string> shown[2];
    for (const int filtered : {0, 1}) {
        const ArenaLoad load = loadArena(kChecked, std::nullopt, {"Z", "a"},
                                         filtered ? &wanted : nullptr, {}, nullptr, &files);
        const Setting s = load.settings->read(section, key);
        if (!s.set)
            continue;
        const Origin o = load.settings->origin(s.where);
        std::vector<std::string>& out = shown[filtered];
        switch (field) {
        case Field::Value:
            out.push_back(std::to_string(s.value));
            break;
        case Field::File:
            out.push_back(o.at.file.substr(o.at.file.starts_with("Z/") ? 2 : 0));
            break;
        case Field::Line:
            out.push_back(std::to_string(o.at.line));
            break;
        case Field::Via:
            for (const Location& at : o.via)
                out.push_back(shortName(at));
            break;
        case Field::Branches:
            for (const BranchTaken& b : o.branches)
                out.push_back(shortName(b.at) + (b.ifndef ? " #ifndef " : " #ifdef ") + b.name +
                              (b.inElse ? " #else" : "") + (b.defined ? " defined" : " undefined") +
                              (b.decidedBy ? " by " + shortName(*b.decidedBy) : ""));
            break;
        case Field::Overrides:
            for (const Overridden& r : o.overrides)
                out.push_back(shortName(r.at) + " " + r.value);
            break;
        }
    }
    EXPECT_EQ(shown[0], shown[1]) << "keeping every setting, then a few";
    return shown[0];
}

struct Row {
    Field field;
    const char* name;
    std::string section, key;
    std::vector<std::string> expected; // the field, shown
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name << ", " << row.section << ":" << row.key;
}

class OriginField : public testing::TestWithParam<Row> {};

TEST_P(OriginField, IsWhatTheLoadRecorded) {
    const Row& row = GetParam();
    EXPECT_EQ(explained(row.field, row.name, row.section, row.key), row.expected);
}

std::string rowName(const testing::TestParamInfo<Row>& info) {
    std::string name = info.param.name + info.param.section + info.param.key;
    std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
    return name;
}

Row value(const char* name, std::string s, std::string k, std::vector<std::string> e) {
    return {Field::Value, name, std::move(s), std::move(k), std::move(e)};
}

INSTANTIATE_TEST_SUITE_P(
    Value, OriginField,
    testing::Values(
        value("later wins", "S", "A", {"2"}), value("reopened", "S", "A", {"3"}),
        value("qualified key", "S", "A", {"4"}), value("qualified key", "T", "B", {"5"}),
        value("no =", "S", "A", {"0"}), value("no =, with :", "T", "A", {"0"}),
        value("no =, with :", "T", "B", {}), value("no =, with :", "T", "C", {"5"}),
        value("long key", "S", "A", {"2"}), value("define case", "S", "A", {"1"}),
        value("undef two words", "S", "A", {"1"}), value("undef", "S", "A", {"1"}),
        value("continuation", "S", "A", {"12"}), value("continuation", "S", "B", {}),
        value("continuation", "S", "C", {"4"}), value("ifdef", "S", "A", {"1"}),
        value("nested false", "S", "A", {"3"}), value("double else", "S", "A", {"3"}),
        value("search order", "S", "A", {"1"}), value("fragment", "S", "A", {"1"}),
        value("fragment", "S", "B", {"2"}), value("header in include", "T", "A", {"1"}),
        value("header in include", "T", "B", {"2"}), value("header in include", "S", "B", {}),
        value("override", "S", "A", {"9"}), value("override", "S", "B", {"1"}),
        value("join across files", "S", "C", {"3"}), value("join across files", "S", "A", {}),
        value("join across files", "S", "B", {"2"}), value("nested include", "S", "A", {"6"})),
    rowName);

Row file(const char* name, std::string s, std::string k, std::string e) {
    return {Field::File, name, std::move(s), std::move(k), {std::move(e)}};
}

INSTANTIATE_TEST_SUITE_P(File, OriginField,
                         testing::Values(file("later wins", "S", "A", "arenas/a/arena.conf"),
                                         file("search order", "S", "A", "arenas/a/n"),
                                         file("fragment", "S", "A", "conf/frag"),
                                         file("fragment", "S", "B", "arenas/a/arena.conf"),
                                         file("header in include", "T", "B", "arenas/a/arena.conf"),
                                         file("override", "S", "A", "arenas/a/arena.conf"),
                                         file("override", "S", "B", "conf/n"),
                                         file("join across files", "S", "C", "conf/j"),
                                         file("defined in an include", "S", "A",
                                              "arenas/a/arena.conf")),
                         rowName);

Row line(const char* name, std::string s, std::string k, std::size_t e) {
    return {Field::Line, name, std::move(s), std::move(k), {std::to_string(e)}};
}

INSTANTIATE_TEST_SUITE_P(
    Line, OriginField,
    testing::Values(line("later wins", "S", "A", 3), line("reopened", "S", "A", 6),
                    line("qualified key", "S", "A", 2), line("no =", "S", "A", 3),
                    line("no =, with :", "T", "A", 1), line("no =, with :", "T", "C", 4),
                    line("long key", "S", "A", 2), line("continuation", "S", "A", 2),
                    line("continuation", "S", "C", 6), line("ifdef", "S", "A", 4),
                    line("nested false", "S", "A", 9), line("double else", "S", "A", 7),
                    line("fragment", "S", "B", 3), line("override", "S", "B", 3),
                    line("join across files", "S", "B", 4), line("nested include", "S", "A", 4)),
    rowName);

Row via(const char* name, std::string s, std::string k, std::vector<std::string> e) {
    return {Field::Via, name, std::move(s), std::move(k), std::move(e)};
}

INSTANTIATE_TEST_SUITE_P(
    Via, OriginField,
    testing::Values(via("later wins", "S", "A", {}),
                    via("search order", "S", "A", {"arenas/a/arena.conf:2"}),
                    via("header in include", "T", "A", {"arenas/a/arena.conf:2"}),
                    via("header in include", "T", "B", {}),
                    via("override", "S", "B", {"arenas/a/arena.conf:1"}),
                    via("override", "S", "A", {}),
                    via("join across files", "S", "C", {"arenas/a/arena.conf:2"}),
                    via("nested include", "S", "A", {"arenas/a/arena.conf:2"}),
                    via("nested include", "S", "B", {"arenas/a/arena.conf:2", "conf/outer:3"})),
    rowName);

Row branches(const char* name, std::string s, std::string k, std::vector<std::string> e) {
    return {Field::Branches, name, std::move(s), std::move(k), std::move(e)};
}

INSTANTIATE_TEST_SUITE_P(
    Branches, OriginField,
    testing::Values(
        branches("later wins", "S", "A", {}),
        branches("define case", "S", "A",
                 {"arenas/a/arena.conf:3 #ifdef LEAGUE defined by arenas/a/arena.conf:1"}),
        branches("undef two words", "S", "A",
                 {"arenas/a/arena.conf:4 #ifdef X defined by arenas/a/arena.conf:1"}),
        branches("undef", "S", "A",
                 {"arenas/a/arena.conf:4 #ifndef X undefined by arenas/a/arena.conf:2"}),
        branches("ifdef", "S", "A",
                 {"arenas/a/arena.conf:3 #ifdef X defined by arenas/a/arena.conf:1"}),
        branches("nested false", "S", "A", {"arenas/a/arena.conf:2 #ifdef X #else undefined"}),
        branches("double else", "S", "A", {"arenas/a/arena.conf:2 #ifdef X #else undefined"}),
        branches("defined in an include", "S", "A",
                 {"arenas/a/arena.conf:3 #ifdef X defined by conf/defs:1",
                  "arenas/a/arena.conf:4 #ifndef Y undefined"}),
        branches("nested include", "S", "B",
                 {"arenas/(default)/inner:1 #ifdef D defined by conf/outer:2"})),
    rowName);

Row overrides(const char* name, std::string s, std::string k, std::vector<std::string> e) {
    return {Field::Overrides, name, std::move(s), std::move(k), std::move(e)};
}

INSTANTIATE_TEST_SUITE_P(
    Overrides, OriginField,
    testing::Values(overrides("later wins", "S", "A", {"arenas/a/arena.conf:2 1"}),
                    overrides("reopened", "S", "A", {"arenas/a/arena.conf:2 1"}),
                    overrides("no =", "S", "A", {"arenas/a/arena.conf:2 5"}),
                    overrides("set twenty times", "S", "A",
                              [] {
                                  // The first fifteen replaced, and the last.
                                  std::vector<std::string> kept;
                                  for (int i = 1; i <= 15; ++i)
                                      kept.push_back(
                                          "arenas/a/arena.conf:" + std::to_string(i + 1) + " " +
                                          std::to_string(i));
                                  kept.push_back("arenas/a/arena.conf:20 19");
                                  return kept;
                              }()),
                    overrides("long key", "S", "A", {}), overrides("ifdef", "S", "A", {}),
                    overrides("override", "S", "A", {"conf/n:2 1"}),
                    overrides("nested include", "S", "A", {"arenas/(default)/inner:2 7"})),
    rowName);

// Past their bound, the lines a value replaced are no longer kept.
TEST(IncludeOverrides, PastTheirBoundAreNotKept) {
    std::string text = "[S]\n";
    for (int round = 1; round <= 2; ++round) {
        // Appended piece by piece: GCC 12 at -O3 takes "K" + std::to_string(i)
        // for an overlapping copy (-Wrestrict), a false alarm.
        for (int i = 0; i <= 100'000; ++i)
            (((text += 'K') += std::to_string(i)) += '=') += std::to_string(round) + '\n';
    }
    MemoryFiles files;
    files.put(kChecked, text);
    const ArenaLoad load =
        loadArena(kChecked, std::nullopt, {"Z", "a"}, nullptr, {}, nullptr, &files);
    const auto overrides = [&](std::string_view key) {
        return load.settings->origin(load.settings->read("S", key).where).overrides;
    };
    // Field by field: a whole Overridden made in place here is, to GCC 12 at
    // -O3, a string that may be used uninitialised (a false alarm).
    const std::vector<Overridden> replaced = overrides("K99999");
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced[0].at.file, kChecked);
    EXPECT_EQ(replaced[0].at.line, 100'001u);
    EXPECT_EQ(replaced[0].value, "1");
    EXPECT_TRUE(overrides("K100000").empty());
}

} // namespace
} // namespace korvane
