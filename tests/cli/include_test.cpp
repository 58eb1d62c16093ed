// korvane-check on an arena's .conf files: which reader, where findings and
// warnings point in every format, and what the exit status says.
#include "run_process.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace korvane::test {
namespace {

using nlohmann::json;

ProcessResult check(std::vector<std::string> args, const std::string& input = {}) {
    return runChecker(std::move(args), input);
}

// A zone whose arena includes the ships, overrides one value to a finding,
// and includes a file that is not there.
class IncludeZone : public testing::Test {
protected:
    void SetUp() override {
        std::string ships;
        for (const char* ship : {"Warbird", "Javelin", "Spider", "Leviathan", "Terrier", "Weasel",
                                 "Lancaster", "Shark"}) {
            ships += std::string("[") + ship +
                     "]\nInitialRotation=1\nMaximumRotation=2\nInitialSpeed=1\nMaximumSpeed=2\n"
                     "InitialThrust=1\nMaximumThrust=2\nInitialRecharge=1\nMaximumRecharge=2\n"
                     "InitialEnergy=1\nMaximumEnergy=2\nSuperTime=1\nShieldsTime=1\n";
        }
        zone.write("conf/ships.conf", ships);
        arena = zone.write("arenas/duel/arena.conf",
                           "#include ships.conf\n#include extra.conf\n[Shark]\nSuperTime=0\n");
    }

    TempDir zone;
    std::string arena;
};

TEST_F(IncludeZone, FindingsAndWarningsPointAtTheirFilesInEveryFormat) {
    const std::string z = zone.path().string();
    const std::string notFound = arena + ":2: warning: #include \"extra.conf\" not found";

    const auto text = check({arena});
    EXPECT_EQ(text.status, 1);
    EXPECT_TRUE(text.out.ends_with("Number of errors: 1.\n\nTotal errors: 1.\n")) << text.out;
    EXPECT_TRUE(text.err.starts_with(notFound)) << text.err;

    const auto gcc = check({"--format=gcc", arena});
    EXPECT_EQ(gcc.out, arena + ":4: error: SuperTime is equal to 0. [Client crashes. Make it 1 "
                               "instead of 0.]\n");
    EXPECT_TRUE(gcc.err.starts_with(notFound)) << gcc.err;

    const auto github = check({"--format=github", arena});
    EXPECT_NE(github.out.find("::warning file=" + arena + ",line=2::#include \"extra.conf\""),
              std::string::npos)
        << github.out;
    EXPECT_EQ(github.err, "");

    const json object = json::parse(check({"--format=json", arena}).out);
    EXPECT_EQ(object["errors"], 1);
    EXPECT_EQ(object["findings"][0]["file"], arena);
    EXPECT_EQ(object["findings"][0]["line"], 4);
    ASSERT_EQ(object["warnings"].size(), 1u);
    EXPECT_EQ(object["warnings"][0]["file"], arena);
    EXPECT_EQ(object["warnings"][0]["line"], 2);

    // A finding points where its first key was last set, here in the
    // included file, though the arena's override made it.
    zone.write("arenas/duel/arena.conf", "#include ships.conf\n[Shark]\nMaximumEnergy=1\n");
    EXPECT_EQ(check({"--format=gcc", arena}).out,
              z + "/conf/ships.conf:101: error: InitialEnergy is equal to MaximumEnergy. "
                  "[?status kickoff bug]\n");
}

TEST_F(IncludeZone, WarningsNeverChangeTheExitStatus) {
    zone.write("arenas/duel/arena.conf", "#include ships.conf\n#include extra.conf\n");
    const auto r = check({arena});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.ends_with("This CFG file is OK.\n"));
    EXPECT_NE(r.err.find("warning: #include \"extra.conf\" not found"), std::string::npos);
    // The checked file itself missing is still trouble.
    EXPECT_EQ(check({zone.path().string() + "/arenas/duel/none.conf"}).status, 2);
}

TEST_F(IncludeZone, TheReaderAndTheZoneCanBeChosen) {
    // Read with the profile reader, the arena file holds no ship settings.
    const auto profile = check({"--dialect=profile", arena});
    EXPECT_TRUE(profile.out.ends_with("Total errors: 56.\n")) << profile.out;
    // Standard input has no path to find a zone by.
    const std::string input = "#include ships.conf\n";
    EXPECT_TRUE(check({"--dialect=include", "--zone", zone.path().string(), "-"}, input)
                    .out.ends_with("This CFG file is OK.\n"));
    EXPECT_TRUE(check({"--dialect=include", "-"}, input).out.ends_with("Total errors: 56.\n"));
    // An arena of another name looks in its own folder first.
    zone.write("arenas/other/ships.conf", "[Warbird]\nInitialRotation=5\n");
    const auto other = check({"--arena", "other", "--format=gcc", arena});
    EXPECT_TRUE(other.out.starts_with(zone.path().string() +
                                      "/arenas/other/ships.conf:2: error: InitialRotation"))
        << other.out;
    EXPECT_EQ(check({"--dialect=xml", arena}).status, 2);
}

} // namespace
} // namespace korvane::test
