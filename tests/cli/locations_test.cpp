// Findings that point at their lines: --format=gcc, --format=github and the
// findings in --format=json.
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

// Only lines with findings, the output of the other formats.
std::vector<std::string> outputLines(const std::string& out) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(out.substr(start, end - start));
    return lines;
}

// Warbird keeps every rule but two; the first SuperTime decides (line 5),
// the second [Warbird] section is never read; Javelin is absent.
const std::string kWarbird = "; server settings\n"
                             "[Warbird]\n"
                             "InitialRotation=200\nMaximumRotation=300\n"
                             "SuperTime=0\n"
                             "SuperTime=5\n"
                             "InitialSpeed=1\nMaximumSpeed=2\nInitialThrust=1\nMaximumThrust=2\n"
                             "InitialRecharge=1\nMaximumRecharge=2\n"
                             "\n"
                             "InitialGuns=3\nMaxGuns=2\n"
                             "[Warbird]\nShieldsTime=1\nInitialEnergy=1\n";

TEST(FindingLocations, GccFormPointsAtTheDecidingLines) {
    TempDir dir;
    const std::string path = dir.write("server.cfg", kWarbird);
    const auto r = check({"--format=gcc", path});
    EXPECT_EQ(r.status, 1);
    const auto lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 4u + 7 * 7);
    EXPECT_EQ(lines[0],
              path + ":2: error: InitialEnergy is equal to MaximumEnergy. [?status kickoff bug]");
    EXPECT_EQ(lines[1], path + ":14: error: InitialGuns is greater than MaxGuns. [False sysop "
                               "alerts and player kickoffs]");
    EXPECT_EQ(lines[2],
              path +
                  ":5: error: SuperTime is equal to 0. [Client crashes. Make it 1 instead of 0.]");
    EXPECT_EQ(
        lines[3],
        path + ":2: error: ShieldsTime is equal to 0. [Client crashes. Make it 1 instead of 0.]");
    // Javelin has no section: no line to point at, so the ship is named.
    EXPECT_EQ(lines[4], path + ": error: Javelin: InitialRotation is equal to MaximumRotation. "
                               "[?status kickoff bug]");

    EXPECT_EQ(check({"--format=gcc", KORVANE_EXAMPLES "/clean.cfg"}).out, "");
}

TEST(FindingLocations, JsonListsEachKeyWithItsValueAndLine) {
    TempDir dir;
    const std::string path = dir.write("server.cfg", kWarbird);
    const auto r = check({"--format=json", path});
    const json object = json::parse(r.out);
    ASSERT_EQ(object["findings"].size(), 53u);
    json guns = json::parse(R"({
        "ship": "Warbird",
        "text": "InitialGuns is greater than MaxGuns. [False sysop alerts and player kickoffs]",
        "file": "", "line": 14,
        "keys": [{"name": "InitialGuns", "value": 3, "file": "", "line": 14, "set": true,
                  "via": [], "branches": [], "overrides": []},
                 {"name": "MaxGuns", "value": 2, "file": "", "line": 15, "set": true,
                  "via": [], "branches": [], "overrides": []}]})");
    guns["file"] = guns["keys"][0]["file"] = guns["keys"][1]["file"] = path;
    EXPECT_EQ(object["findings"][1], guns);
    EXPECT_EQ(object["findings"][2]["keys"][0]["line"], 5);
    EXPECT_EQ(object["findings"][4]["ship"], "Javelin");
    EXPECT_EQ(object["findings"][4]["file"], path);
    EXPECT_EQ(object["findings"][4]["line"], nullptr);
    EXPECT_EQ(
        object["findings"][4]["keys"][1],
        json::parse(R"({"name": "MaximumRotation", "value": 0, "file": null, "line": null,
                        "set": false, "via": [], "branches": [], "overrides": []})"));
    EXPECT_EQ(object["warnings"], json::array());
    // The report itself is unchanged.
    EXPECT_EQ(object["errors"], 53);
    EXPECT_EQ(object["lines"].back()["text"], "Total errors: 53.");
}

TEST(FindingLocations, LinesCountRightWhateverEndsThemAndWhateverTheEncoding) {
    TempDir dir;
    std::string crOnly = kWarbird;
    std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
    std::string crlf;
    for (char c : kWarbird)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string utf16 = "\xFF\xFE";
    for (char c : crlf) {
        utf16 += c;
        utf16 += '\0';
    }
    const auto expected = check({"--format=gcc", dir.write("lf.cfg", kWarbird)}).out;
    for (const auto& [name, bytes] :
         {std::pair{"cr.cfg", crOnly}, {"crlf.cfg", crlf}, {"utf16.cfg", utf16}}) {
        auto out = check({"--format=gcc", dir.write(name, bytes)}).out;
        // Same findings at the same lines, only the file name differs.
        for (std::size_t at; (at = out.find(name)) != std::string::npos;)
            out.replace(at, std::string_view(name).size(), "lf.cfg");
        EXPECT_EQ(out, expected) << name;
    }
}

TEST(FindingLocations, GithubAnnotationsEscapeTheirData) {
    SKIP_UNDER_WINE("Windows file names cannot hold ':', CR or LF");
    TempDir dir;
    const std::string path = dir.write("odd, name: 100%\r\n.cfg", kWarbird);
    const auto lines = outputLines(check({"--format=github", path}).out);
    std::string escapedPath = (dir.path() / "odd%2C name%3A 100%25%0D%0A.cfg").string();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], "::error file=" + escapedPath +
                            ",line=14::InitialGuns is greater than MaxGuns. [False sysop alerts "
                            "and player kickoffs]");
    EXPECT_EQ(lines[4], "::error file=" + escapedPath +
                            "::Javelin: InitialRotation is equal to MaximumRotation. [?status "
                            "kickoff bug]");
}

TEST(FindingLocations, StandardInputIsNamedInEveryFormat) {
    const auto gcc = outputLines(check({"--format=gcc", "-"}, kWarbird).out);
    ASSERT_FALSE(gcc.empty());
    EXPECT_EQ(gcc[0],
              "<stdin>:2: error: InitialEnergy is equal to MaximumEnergy. [?status kickoff bug]");
    const auto github = outputLines(check({"--format=github", "-"}, kWarbird).out);
    EXPECT_EQ(github[2], "::error file=<stdin>,line=5::SuperTime is equal to 0. [Client crashes. "
                         "Make it 1 instead of 0.]");
}

} // namespace
} // namespace korvane::test
