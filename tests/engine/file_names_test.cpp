// How names are shown: control characters (C0, DEL, C1 as UTF-8 or as a
// stray byte) quoted as a shell quotes them, everything else as it is.
#include "file_names.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(QuotedName, ControlCharactersAreQuotedAndTextStaysAsItIs) {
    const struct {
        std::string name, shown;
    } rows[] = {
        {"plain.cfg", "plain.cfg"},
        {"Düell/é€𝄞.conf", "Düell/é€𝄞.conf"}, // UTF-8, whose bytes 0x80-0x9F are no controls
        {"a\x1b[31mb", "'a'$'\\033''[31mb'"},
        {"a\nb's", "'a'$'\\012''b'\\''s'"},
        {"\x7f", "$'\\177'"},
        {"a\xC2\x9B" "2Jb", "'a'$'\\302\\233''2Jb'"}, // U+009B, CSI
        {"\xC2\x80\xC2\x9F", "$'\\302\\200'$'\\302\\237'"},
        {"\xC2\xA0", "\xC2\xA0"}, // U+00A0 is no control
        {"a\x9B" "b", "'a'$'\\233''b'"},    // a stray byte, not UTF-8
        {"\xE2\x9B", "'\xE2'$'\\233'"},     // a character cut short
        {"\xF0\x9F\x98\x80\x85", "'\xF0\x9F\x98\x80'$'\\205'"}, // one byte too many
    };
    for (const auto& row : rows)
        EXPECT_EQ(quotedName(row.name), row.shown) << row.shown;
}

} // namespace
} // namespace korvane
