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
    std::string value;
    std::int32_t expected;
};

class ValueConversion : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueConversion, ReadsAsTheWindowsReaderDoes) {
    EXPECT_EQ(readValue(GetParam().value), GetParam().expected) << "value: " << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueConversion,
    testing::Values(
        ValueCase{"42", 42}, ValueCase{"-42", -42}, ValueCase{"+42", 42}, ValueCase{"010", 10},
        ValueCase{"0x1F", 31}, ValueCase{"0X1F", 0}, ValueCase{"-0x10", -16},
        ValueCase{"0xFFFFFFFF", -1}, ValueCase{"0b101", 5}, ValueCase{"0o17", 15},
        ValueCase{"0x1G", 1}, ValueCase{"12abc", 12}, ValueCase{"12 34", 12}, ValueCase{"1.5", 1},
        ValueCase{"1,000", 1}, ValueCase{"abc", 0}, ValueCase{"- 5", 0}, ValueCase{"--5", 0},
        ValueCase{"2147483647", 2147483647}, ValueCase{"2147483648", INT32_MIN},
        ValueCase{"4294967296", 0}, ValueCase{"99999999999", 1215752191},
        ValueCase{"-2147483649", 2147483647}, ValueCase{"9999999999", 1410065407},
        ValueCase{"\"12\"", 12}, ValueCase{"'12'", 12}, ValueCase{"\"12", 0}, ValueCase{"12\"", 12},
        ValueCase{"\" 12 \"", 12}, ValueCase{"\"12\" ; c", 0}, ValueCase{"5 ; five", 5},
        ValueCase{";7", 0}, ValueCase{"", 0}, ValueCase{std::string(28, '0') + "12", 1},
        ValueCase{std::string(27, '0') + "12", 12},
        // Quoted: 28 characters inside convert whole, exactly 29 lose
        // their last, 30 or more give their first 29.
        ValueCase{"\"" + std::string(26, '0') + "12\"", 12},
        ValueCase{"\"" + std::string(27, '0') + "12\"", 1},
        ValueCase{"\"" + std::string(27, '0') + "123\"", 12}, ValueCase{"\"\"", 0},
        ValueCase{"\"", 0}, ValueCase{"0x", 0}, ValueCase{"0b102", 2}, ValueCase{"\t 7", 7},
        ValueCase{"\"'5'\"", 0}, ValueCase{"-0", 0}, ValueCase{"0xffffffff", -1}));

TEST(ProfileNames, MatchTrimmedAndIgnoringAsciiCase) {
    EXPECT_EQ(Profile::parse("[warBird]\nA=1\n").readInt("WARBIRD", "A"), 1);
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
    EXPECT_EQ(p.lineAt(*p.sectionOffset("T")), 8u);
    EXPECT_EQ(p.lineAt(*p.sectionOffset("S")), 3u);
    EXPECT_FALSE(p.sectionOffset("U"));
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

TEST(ProfileSections, ManySectionsBeyondTheIndexAreStillFound) {
    std::string text;
    const std::size_t count = Profile::kMaxIndexedSections + 2;
    text.reserve(count * 12);
    for (std::size_t i = 0; i < count; ++i)
        text += "[s" + std::to_string(i) + "]\n";
    text += "A=1\n[Warbird]\nA=2\n[s5]\nA=3\n[Warbird]\nA=4\n";
    const Profile p = Profile::parse(std::move(text));
    EXPECT_EQ(p.readInt("Warbird", "A"), 2);
    EXPECT_EQ(p.readInt("WARBIRD", "A"), 2);
    EXPECT_EQ(p.readInt("s" + std::to_string(count - 1), "A"), 1);
    EXPECT_EQ(p.readInt("s5", "A"), 0);
    EXPECT_EQ(p.readInt("Spider", "A"), 0);
}

TEST(ProfilePrefetch, AnswersAsWalkingTheSectionDoes) {
    const std::string text =
        "A=0\n[S]\nA\nA=5\n b = 7 \nC\0x=8\n;D=1\nE=\"9\"\n[T]\nB=1\n[s]\nB=2\n"s;
    const std::vector<std::string> keys = {"A", " b ", "C", "D", ";D", "E", "F", "B", "a", "E"};
    const std::vector<std::string> sections = {"S", "s", " S ", "T", "", "U"};
    const Profile walked = Profile::parse(text);
    const Profile prefetched = Profile::parse(text);
    for (const auto& section : sections)
        prefetched.prefetch(section, keys);
    for (const auto& section : sections) {
        for (const std::string key : {"A", "b", "B", "C", ";d", "E", "F", "x"}) {
            const auto expected = walked.find(section, key);
            const auto found = prefetched.find(section, key);
            ASSERT_EQ(found.has_value(), expected.has_value()) << section << "/" << key;
            if (found) {
                EXPECT_EQ(found->offset, expected->offset) << section << "/" << key;
                EXPECT_EQ(found->value, expected->value) << section << "/" << key;
            }
        }
    }
    EXPECT_EQ(prefetched.readInt("S", "A"), 0);
    EXPECT_EQ(prefetched.readInt("S", "B"), 7);
    EXPECT_EQ(prefetched.readInt("S", "E"), 9);
}

TEST(ProfilePrefetch, AnswersOutliveTheProfileTheyWereMadeIn) {
    const std::string text = "[S]\nLongEnoughToLiveOnTheHeap=12\n";
    const std::vector<std::string> keys = {"LongEnoughToLiveOnTheHeap"};
    const Profile copy = [&] {
        const Profile original = Profile::parse(text);
        original.prefetch("S", keys);
        return Profile(original);
    }();
    const auto found = copy.find("S", keys[0]);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, "12");
    EXPECT_EQ(found->value.data(), copy.text().data() + found->offset + keys[0].size() + 1);
}

TEST(ProfilePrefetch, OlderAnswersMakeWayAndAreWalkedForAgain) {
    std::string text;
    const std::size_t count = Profile::kPrefetchedSections + 4;
    for (std::size_t i = 0; i < count; ++i)
        text += "[s" + std::to_string(i) + "]\nA=" + std::to_string(i) + "\n";
    const Profile p = Profile::parse(text);
    const std::vector<std::string> keys = {"A"};
    for (std::size_t i = 0; i < count; ++i)
        p.prefetch("s" + std::to_string(i), keys);
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(p.readInt("s" + std::to_string(i), "A"), static_cast<int>(i));
}

} // namespace
