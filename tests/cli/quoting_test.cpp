// Control characters in file names never reach a terminal or a log raw:
// C0 ones, DEL and C1 ones (U+0080 to U+009F, such as the one-character
// CSI U+009B that a Windows console acts on), in every format and on stderr.
#include "run_process.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace korvane::test {
namespace {

struct QuotingRow {
    const char* name;
    std::string control; // the character's bytes
    std::string shell;   // as text, gcc and stderr quote it
    std::string github;  // in an annotation's file=
    std::string json;    // as JSON text escapes it
};

class Quoting : public testing::TestWithParam<QuotingRow> {};

TEST_P(Quoting, NamesAreQuotedInEveryFormat) {
    SKIP_UNDER_WINE("Windows file names cannot hold control characters");
    const QuotingRow& row = GetParam();
    TempDir dir;
    const std::string folder = dir.path().string();
    const std::string path = dir.write("a" + row.control + "b.cfg", "[Warbird]\nSuperTime=0\n");
    const std::string shown = "'" + folder + "/a'" + row.shell + "'b.cfg'";

    const auto text = runChecker({path, KORVANE_EXAMPLES "/clean.cfg"});
    EXPECT_TRUE(text.out.starts_with("==> " + shown + " <==\n")) << text.out;
    const auto gcc = runChecker({"--format=gcc", path});
    EXPECT_TRUE(gcc.out.starts_with(shown + ":1: error: InitialRotation is equal")) << gcc.out;
    const auto github = runChecker({"--format=github", path});
    EXPECT_TRUE(github.out.starts_with("::error file=" + folder + "/a" + row.github +
                                       "b.cfg,line=1::InitialRotation is equal"))
        << github.out;
    const auto json = runChecker({"--format=json", path});
    EXPECT_NE(json.out.find("\"file\":\"" + folder + "/a" + row.json + "b.cfg\""),
              std::string::npos)
        << json.out;
    const auto missing = runChecker({path + "x"});
    EXPECT_EQ(missing.err, "korvane-check: " + shown.substr(0, shown.size() - 1) +
                               "x': No such file or directory\n");
    for (const auto* out : {&text.out, &gcc.out, &github.out, &json.out, &missing.err})
        EXPECT_EQ(out->find(row.control), std::string::npos) << *out;
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Quoting,
    testing::Values(QuotingRow{"Escape", "\x1b", "$'\\033'", "%1B", "\\u001b"},
                    QuotingRow{"Tab", "\t", "$'\\011'", "%09", "\\t"},
                    QuotingRow{"Bell", "\a", "$'\\007'", "%07", "\\u0007"},
                    QuotingRow{"Csi", "\xC2\x9B", "$'\\302\\233'", "%C2%9B", "\\u009b"},
                    QuotingRow{"StrayC1Byte", "\x9B", "$'\\233'", "%9B", "\xEF\xBF\xBD"}),
    [](const testing::TestParamInfo<QuotingRow>& info) { return info.param.name; });

} // namespace
} // namespace korvane::test
