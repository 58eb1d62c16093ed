// Where each value came from: --explain under each finding, the origin
// fields of JSON, and --effective, the settings an arena loads.
#include "run_process.h"
#include "test_files.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace korvane::test {
namespace {

using nlohmann::json;

const std::string kZone = KORVANE_EXAMPLES "/zone";
const std::string kDuel = kZone + "/arenas/duel/arena.conf";
const std::vector<std::string> kShips = {"Warbird", "Javelin", "Spider",    "Leviathan",
                                         "Terrier", "Weasel",  "Lancaster", "Shark"};

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct Loaded {
    std::string section, key, value, file;
    std::size_t line;
    std::vector<std::pair<std::string, std::size_t>> overrides;
};

// What the server loads for the duel arena, known without the reader: each
// ship's file of the zone (plain Key=value lines under one header, included
// in checking order by conf/ships.conf), then the two lines of the arena's
// own that replace Warbird's speeds.
std::vector<Loaded> duelLoads() {
    std::vector<Loaded> loads;
    for (const std::string& ship : kShips) {
        const std::string file = kZone + "/conf/ships/" + lower(ship) + ".conf";
        std::ifstream in(file);
        std::string text;
        for (std::size_t line = 1; std::getline(in, text); ++line) {
            const auto eq = text.find('=');
            if (eq != std::string::npos && text[0] != ';')
                loads.push_back({ship, text.substr(0, eq), text.substr(eq + 1), file, line, {}});
        }
    }
    for (Loaded& s : loads) {
        if (s.section != "Warbird" || (s.key != "InitialSpeed" && s.key != "MaximumSpeed"))
            continue;
        s.overrides.push_back({s.file, s.line});
        s.value = s.key == "InitialSpeed" ? "3500" : "3400";
        s.file = kDuel;
        s.line = s.key == "InitialSpeed" ? 9 : 10;
    }
    return loads;
}

TEST(Effective, EveryKeyOfEveryArenaOfTheExampleZoneAsTheServerLoadsIt) {
    const std::vector<Loaded> loads = duelLoads();
    ASSERT_EQ(loads.size(), 8u * 34u);
    std::ostringstream text;
    json settings = json::array();
    for (const Loaded& s : loads) {
        text << s.section << ':' << s.key << '=' << s.value << "  " << s.file << ':' << s.line;
        json overrides = json::array();
        for (const auto& [file, line] : s.overrides) {
            text << "  (overrides " << file << ':' << line << ')';
            overrides.push_back({{"file", file}, {"line", line}, {"value", "2000"}});
        }
        text << '\n';
        const std::string includer = kZone + "/conf/ships.conf";
        const std::size_t includeLine = 3 + static_cast<std::size_t>(
            std::find(kShips.begin(), kShips.end(), s.section) - kShips.begin());
        const json via = s.file == kDuel ? json::array()
                                         : json::array({{{"file", kDuel}, {"line", 2}},
                                                        {{"file", includer}, {"line", includeLine}}});
        settings.push_back({{"section", s.section},
                            {"key", s.key},
                            {"value", s.value},
                            {"file", s.file},
                            {"line", s.line},
                            {"via", via},
                            {"overrides", overrides}});
    }
    settings[7]["overrides"][0]["value"] = "3250"; // MaximumSpeed's

    const auto alone = runChecker({"--effective", kDuel});
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(alone.err, "");
    EXPECT_EQ(alone.out, text.str());
    const auto zone = runChecker({"--effective", kZone});
    EXPECT_EQ(zone.out, "==> " + kDuel + " <==\n" + text.str());
    const auto asJson = runChecker({"--effective", "--format=json", kZone});
    EXPECT_EQ(json::parse(asJson.out),
              json({{"file", kDuel}, {"arena", "duel"}, {"settings", settings}}));
}

TEST(Explain, EachFindingShowsItsKeysAndWhereTheyWereSet) {
    const auto r = runChecker({"--explain", kDuel});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Checking Warbird...\n"
                         "InitialSpeed is greater than MaximumSpeed. [Messes up greening and "
                         "?status]\n"
                         "    InitialSpeed = 3500 at arena.conf:9; replaces 2000 at "
                         "../../conf/ships/warbird.conf:9\n"
                         "    MaximumSpeed = 3400 at arena.conf:10; replaces 3250 at "
                         "../../conf/ships/warbird.conf:10\n"
                         "Number of errors: 1.\n"),
              std::string::npos)
        << r.out;
    // Without --explain, the report alone.
    EXPECT_EQ(runChecker({kDuel}).out.find("    "), std::string::npos);
}

// Every field of a key's origin, end to end; the tables of the reader's
// tests hold the cases.
TEST(Explain, JsonKeysGainTheirOrigins) {
    TempDir zone;
    zone.write("conf/ships.conf", "#ifdef FAST\n[Shark]\nSuperTime=1\nSuperTime=0\n#endif\n");
    const std::string inner = zone.path().string() + "/conf/ships.conf";
    const std::string arena =
        zone.write("arenas/a/arena.conf", "#define FAST\n#include ships.conf\n");
    const auto r = runChecker({"--explain", "--format=json", arena});
    const json object = json::parse(r.out);
    const auto shark = [&](const std::string& key) {
        for (const json& f : object["findings"]) {
            if (f["ship"] == "Shark" && f["keys"][0]["name"] == key)
                return f["keys"][0];
        }
        return json();
    };
    EXPECT_EQ(shark("SuperTime"),
              json::parse(R"({"name": "SuperTime", "value": 0, "file": ")" + inner +
                          R"(", "line": 4, "set": true,
                  "via": [{"file": ")" + arena + R"(", "line": 2}],
                  "branches": [{"file": ")" + inner + R"(", "line": 1, "directive": "#ifdef",
                                "name": "FAST", "else": false, "defined": true,
                                "decided_by": {"file": ")" + arena + R"(", "line": 1}}],
                  "overrides": [{"file": ")" + inner + R"(", "line": 3, "value": "1"}]})"));
    // An absent key: not set, and nothing to tell.
    EXPECT_EQ(shark("ShieldsTime"), json::parse(R"({"name": "ShieldsTime", "value": 0, "file": null,
        "line": null, "set": false, "via": [], "branches": [], "overrides": []})"));
}

} // namespace
} // namespace korvane::test
