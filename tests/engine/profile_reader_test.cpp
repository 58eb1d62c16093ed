// The reader against its contract, from buffers: values, names, sections,
// encodings and line numbers.
#include "profile.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using korvane::Profile;
using namespace std::string_literals;

namespace {

std::int32_t readValue(const std::string& value) {
    return Profile::parse("[S]\n"
                          "A=" +
                          value + "\n")
        .readInt("S", "A");
}

struct ValueCase {
    const char* name;
    std::string value;
    std::int32_t expected;
};

class ValueConversion : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueConversion, ReadsAsTheWindowsReaderDoes) {
    EXPECT_EQ(readValue(GetParam().value), GetParam().expected) << "value: " << GetParam().value;
}

const std::string k27Zeros(27, '0');

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueConversion,
    testing::Values(
        ValueCase{"Decimal", "42", 42}, ValueCase{"Negative", "-42", -42},
        ValueCase{"Plus", "+42", 42}, ValueCase{"LeadingZeroIsNotOctal", "010", 10},
        ValueCase{"Hex", "0x1F", 31}, ValueCase{"UppercaseHexPrefixStops", "0X1F", 0},
        ValueCase{"NegativeHex", "-0x10", -16}, ValueCase{"HexWrapsToMinusOne", "0xFFFFFFFF", -1},
        ValueCase{"LowercaseHexDigits", "0xffffffff", -1}, ValueCase{"Binary", "0b101", 5},
        ValueCase{"BinaryStopsAtTwo", "0b102", 2}, ValueCase{"Octal", "0o17", 15},
        ValueCase{"HexStopsAtG", "0x1G", 1}, ValueCase{"PrefixWithoutDigits", "0x", 0},
        ValueCase{"TrailingText", "12abc", 12}, ValueCase{"StopsAtSpace", "12 34", 12},
        ValueCase{"StopsAtPoint", "1.5", 1}, ValueCase{"StopsAtComma", "1,000", 1},
        ValueCase{"Letters", "abc", 0}, ValueCase{"SignThenSpace", "- 5", 0},
        ValueCase{"TwoSigns", "--5", 0}, ValueCase{"MinusZero", "-0", 0},
        ValueCase{"LeadingTab", "\t 7", 7}, ValueCase{"Int32Max", "2147483647", 2147483647},
        ValueCase{"WrapsPastInt32Max", "2147483648", INT32_MIN},
        ValueCase{"TwoToThe32WrapsToZero", "4294967296", 0},
        ValueCase{"ElevenNines", "99999999999", 1215752191},
        ValueCase{"WrapsBelowInt32Min", "-2147483649", 2147483647},
        ValueCase{"TenNines", "9999999999", 1410065407}, ValueCase{"DoubleQuoted", "\"12\"", 12},
        ValueCase{"SingleQuoted", "'12'", 12}, ValueCase{"UnmatchedOpeningQuote", "\"12", 0},
        ValueCase{"UnmatchedClosingQuote", "12\"", 12},
        ValueCase{"BlanksInsideQuotes", "\" 12 \"", 12},
        ValueCase{"QuotesThenComment", "\"12\" ; c", 0}, ValueCase{"NestedQuotes", "\"'5'\"", 0},
        ValueCase{"EmptyQuotes", "\"\"", 0}, ValueCase{"LoneQuote", "\"", 0},
        ValueCase{"TextAfterNumber", "5 ; five", 5}, ValueCase{"Semicolon", ";7", 0},
        ValueCase{"Empty", "", 0},
        // Only 29 characters convert: "000...012" loses its "2" at 30.
        ValueCase{"ThirtyCharacters", "0" + k27Zeros + "12", 1},
        ValueCase{"TwentyNineCharacters", k27Zeros + "12", 12},
        // Quoted: 28 characters inside convert whole, exactly 29 lose
        // their last, 30 or more give their first 29.
        ValueCase{"QuotedTwentyEight", "\"" + std::string(26, '0') + "12\"", 12},
        ValueCase{"QuotedTwentyNineLosesItsLast", "\"" + k27Zeros + "12\"", 1},
        ValueCase{"QuotedThirty", "\"" + k27Zeros + "123\"", 12}),
    [](const testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

TEST(ProfileNames, MatchTrimmedAndIgnoringAsciiCase) {
    EXPECT_EQ(Profile::parse("[warBird]\nA=1\n").readInt("WARBIRD", "A"), 1);
    EXPECT_EQ(Profile::parse("[z]\nz=1\n").readInt("Z", "Z"), 1); // the last letter folds too
    EXPECT_EQ(Profile::parse("[ Warbird ]\nA=1\n").readInt("Warbird", "A"), 1);
    EXPECT_EQ(Profile::parse("[S]\n  speed  =  5  \n").readInt("S", "SPEED"), 5);
    // Only ASCII letters fold: 0xC9 is not 0xE9.
    EXPECT_EQ(Profile::parse("[S\xC9]\nA=1\n").readInt("S\xE9", "A"), 0);
}

TEST(ProfileSections, HeaderRulesAndFirstSectionWins) {
    EXPECT_EQ(Profile::parse("[S] ; note\nA=1\n").readInt("S", "A"), 1);
    EXPECT_EQ(Profile::parse("[S] ; old [T]\nA=1\n").readInt("S", "A"), 0);
    EXPECT_EQ(Profile::parse("[S] ; old [T]\nA=1\n").readInt("S] ; old [T", "A"), 1);
    // "[T" has no ']': a key line, so B stays in S.
    EXPECT_EQ(Profile::parse("[S]\nA=1\n[T\nB=2\n").readInt("S", "B"), 2);
    const Profile twice = Profile::parse("[S]\nA=1\n[T]\n[S]\nA=2\nB=3\n");
    EXPECT_EQ(twice.readInt("S", "A"), 1);
    EXPECT_EQ(twice.readInt("S", "B"), 0);
    const Profile before = Profile::parse("A=1\n[S]\n");
    EXPECT_EQ(before.readInt("", "A"), 1);
    EXPECT_EQ(before.readInt("S", "A"), 0);
    EXPECT_EQ(Profile::parse("[S]\nA=1\n").readInt("T", "A"), 0);
    // A blank section name is the section "" too.
    EXPECT_EQ(before.readInt(" ", "A"), 1);
}

// A header among lines too short to name the key ends the section,
// wherever its '[' falls in the words the short lines are passed over by.
TEST(ProfileSections, AHeaderAmongShortLinesEndsTheSection) {
    for (std::size_t pad = 1; pad <= 9; ++pad) {
        const std::string text = "[A]\n" + std::string(pad, 'x') + "\nx\nx\n[B]\nLongKeyName=1\n";
        EXPECT_EQ(Profile::parse(text).readInt("A", "LongKeyName"), 0) << pad;
    }
}

TEST(ProfileNames, AreTrimmedBeforeANulCutsThem) {
    // Blanks before a NUL stay part of the name; blanks after it go.
    EXPECT_EQ(Profile::parse("[S]\nA \0=5\n"s).readInt("S", "A"), 0);
    EXPECT_EQ(Profile::parse("[S \0]\nA=5\n"s).readInt("S", "A"), 0);
    EXPECT_EQ(Profile::parse("[S]\nA \0\nA=5\n"s).readInt("S", "A"), 5);
    EXPECT_EQ(Profile::parse("[ S\0 ]\n A\0 =5\n"s).readInt("S", "A"), 5);
}

TEST(ProfileKeys, FirstMatchingLineDecides) {
    EXPECT_EQ(Profile::parse("[S]\nA=1\nA=2\n").readInt("S", "A"), 1);
    EXPECT_EQ(Profile::parse("[S]\nA\nA=5\n").readInt("S", "A"), 0);
    EXPECT_EQ(Profile::parse("[S]\n;A=5\n").readInt("S", "A"), 0);
    EXPECT_EQ(Profile::parse("[S]\n;A=5\n").readInt("S", ";A"), 5);
    EXPECT_EQ(Profile::parse("[S]\nA=B=5\n").readInt("S", "A"), 0);
    EXPECT_EQ(Profile::parse("[S]\nA=1\0 2\n"s).readInt("S", "A"), 1);
    EXPECT_EQ(Profile::parse("[S]\nA\0junk=7\n"s).readInt("S", "A"), 7);
}

TEST(ProfileLines, EveryKindOfLineEndAndBlank) {
    EXPECT_EQ(Profile::parse("[S]\r\nA=1\r\n").readInt("S", "A"), 1);
    EXPECT_EQ(Profile::parse("[S]\rA=1\rB=2").readInt("S", "B"), 2);
    EXPECT_EQ(Profile::parse("[S]\n\n\r\n  \t\nA=3").readInt("S", "A"), 3);
    // Ctrl-Z and vertical tab trim; a non-breaking space does not.
    EXPECT_EQ(Profile::parse("\x1A[S]\x1A\n\vA=4\x1A").readInt("S", "A"), 4);
    EXPECT_EQ(Profile::parse("[S]\n\xA0"
                             "A=4\n")
                  .readInt("S", "A"),
              0);
}

TEST(ProfileEncodings, ByteOrderMarksDecide) {
    const auto utf16le = [](std::string_view ascii, bool bom) {
        std::string out = bom ? "\xFF\xFE" : "";
        for (char c : ascii) {
            out += c;
            out += '\0';
        }
        return out;
    };
    EXPECT_EQ(Profile::parse(utf16le("[S]\r\nA=5\r\n", true)).readInt("S", "A"), 5);
    EXPECT_EQ(Profile::parse(utf16le("[S]\r\nA=5\r\n", false)).readInt("S", "A"), 0);
    std::string be = "\xFE\xFF";
    for (char c : std::string_view("[S]\nA=6\n")) {
        be += '\0';
        be += c;
    }
    EXPECT_EQ(Profile::parse(be).readInt("S", "A"), 6);
    EXPECT_EQ(Profile::parse("\xEF\xBB\xBF[S]\nA=7\n").readInt("S", "A"), 7);
    // Non-ASCII UTF-16 units never pass for ASCII: U+0141 is not 'A'.
    EXPECT_EQ(Profile::parse("\xFF\xFE[\0S\0]\0\n\0\x41\x01=\0"
                             "8\0"s)
                  .readInt("S", "A"),
              0);
    // DEL is ASCII: it stays.
    EXPECT_EQ(Profile::parse("\xFF\xFE[\0S\0]\0\n\0A\0=\0\x7F\0"s).find("S", "A")->value, "\x7F");
    // A byte order mark is only a mark at the very start.
    EXPECT_EQ(Profile::parse("\n\xEF\xBB\xBF[S]\nA=7\n").readInt("S", "A"), 0);
}

TEST(ProfileLocations, LinesCountAsAnEditorCountsThem) {
    const Profile p = Profile::parse("; c\r\n\r\n[S]\rA=1\n\r\nB=2\r\r\n[T]\n");
    const auto a = p.find("S", "A");
    const auto b = p.find("S", "B");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(p.lineAt(a->offset), 4u);
    EXPECT_EQ(p.lineAt(b->offset), 6u);
    std::optional<Profile::KeyLine> none;
    const std::string_view noKeys[] = {"Z"};
    EXPECT_EQ(p.lineAt(*p.findKeys("T", noKeys, std::span(&none, 1))), 8u);
    EXPECT_EQ(p.lineAt(*p.findKeys("S", noKeys, std::span(&none, 1))), 3u);
    EXPECT_FALSE(p.findKeys("U", noKeys, std::span(&none, 1)));
}

TEST(ProfileLocations, StayRightPastTheLineMarks) {
    std::string text = "[S]\n";
    for (int i = 0; i < 40000; ++i)
        text += (i % 3 == 0) ? "K=1\r\n" : (i % 3 == 1 ? "K=2\r" : "K=3\n");
    text += "Z=9\n";
    const Profile p = Profile::parse(text);
    const auto z = p.find("S", "Z");
    ASSERT_TRUE(z);
    EXPECT_EQ(p.readInt("S", "Z"), 9);
    EXPECT_EQ(p.lineAt(z->offset), 40002u);
}

TEST(ProfileSections, OneSearchFindsTheFirstOfEachAndTheyEndAtTheNextHeader) {
    const Profile p =
        Profile::parse("A=0\n[a]\nA=1\n  [b] x\nk [c]\n[c\n[C]\nA=3\n[Warbird]\nA=4\n[d]\nB=5\n"
                       "[c]\nA=6\n[e");
    const std::vector<std::string_view> names = {"c", "WARBIRD", " a ", "Spider", "b", "C", "e"};
    std::vector<std::optional<std::size_t>> headers(names.size());
    p.findSections(names, headers);
    const std::string_view t = p.text();
    EXPECT_EQ(headers[0], t.find("[C]"));
    EXPECT_EQ(headers[1], t.find("[Warbird]"));
    EXPECT_EQ(headers[2], t.find("[a]"));
    EXPECT_EQ(headers[3], std::nullopt);
    EXPECT_EQ(headers[4], t.find("[b]")); // after blanks, with text after its ']'
    EXPECT_EQ(headers[5], headers[0]);
    EXPECT_EQ(headers[6], std::nullopt); // "[e", last and without ']', is a key line
    EXPECT_EQ(p.readInt("c", "A"), 3);
    EXPECT_EQ(p.readInt("Warbird", "A"), 4);
    EXPECT_EQ(p.readInt("Warbird", "B"), 0); // [d] ends it
    EXPECT_EQ(p.readInt("d", "B"), 5);
}

TEST(ProfileKeys, ManyKeysInOneWalkAnswerAsOneAtATime) {
    const std::string text =
        "A=0\n[S]\nA\nA=5\n b = 7 \nC\0x=8\n;D=1\nE=\"9\"\n[T]\nB=1\n[s]\nB=2\n"s;
    const std::vector<std::string_view> keys = {"A", " b ", "C", "D", ";D",
                                                "E", "F",   "B", "a", "E"};
    const Profile p = Profile::parse(text);
    for (const std::string_view section : {"S", "s", " S ", "T", "", "U"}) {
        std::vector<std::optional<Profile::KeyLine>> found(keys.size());
        p.findKeys(section, keys, found);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const auto one = p.find(section, keys[i]);
            ASSERT_EQ(found[i].has_value(), one.has_value()) << section << "/" << keys[i];
            if (one) {
                EXPECT_EQ(found[i]->offset, one->offset) << section << "/" << keys[i];
                EXPECT_EQ(found[i]->value, one->value) << section << "/" << keys[i];
            }
        }
    }
    EXPECT_EQ(p.readInt("S", "A"), 0);
    EXPECT_EQ(p.readInt("S", "B"), 7);
    EXPECT_EQ(p.readInt("S", "E"), 9);
    EXPECT_EQ(p.readInt("", "A"), 0);
}

} // namespace
