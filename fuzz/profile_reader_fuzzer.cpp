// Arbitrary bytes through the reader. It is asked for every ship key of
// every ship section, and for the names the bytes themselves hold, and each
// answer is held against the plain reading of the rules and against the
// reader's own promises: offsets inside the text, lines counted from 1 and
// never going back, the same answers one key at a time or many in one walk,
// names trimmed and ASCII case ignored.
#include "fuzz_check.h"
#include "plain_reader.h"
#include "profile.h"
#include "ship_keys.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using korvane::Profile;
using korvane::fuzz::PlainReader;

// A few names from the bytes: sections, and the keys of each, as written.
constexpr std::size_t kSectionsFromInput = 24;
constexpr std::size_t kKeysPerSection = 12;

std::string otherCase(std::string_view name) {
    std::string s(name);
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

void checkKeys(const Profile& profile, const PlainReader& plain, std::string_view section,
               const std::vector<std::string_view>& keys) {
    const std::string_view t = profile.text();
    std::vector<std::optional<Profile::KeyLine>> walked(keys.size());
    const auto header = profile.findKeys(section, keys, walked);
    FUZZ_CHECK(header == plain.sectionHeader(section));
    FUZZ_CHECK(!header || *header < t.size());

    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string_view key = keys[i];
        const auto found = profile.find(section, key);
        const auto expected = plain.find(section, key);
        FUZZ_CHECK(found.has_value() == expected.has_value());
        FUZZ_CHECK(walked[i].has_value() == found.has_value());
        FUZZ_CHECK(profile.readInt(section, key) ==
                   (found ? korvane::profileValueToInt(found->value) : 0));
        if (found) {
            FUZZ_CHECK(found->offset == expected->offset);
            FUZZ_CHECK(found->value == expected->value);
            FUZZ_CHECK(walked[i]->offset == found->offset && walked[i]->value == found->value);
            FUZZ_CHECK(found->offset < t.size());
            FUZZ_CHECK(inside(found->value, t));
            const std::size_t line = profile.lineAt(found->offset);
            FUZZ_CHECK(line == plain.lineAt(found->offset));
            FUZZ_CHECK(!header || line >= profile.lineAt(*header));
        }
        // Names are compared trimmed, ignoring the case of ASCII letters.
        const auto again = profile.find(" " + otherCase(section) + "\t", "\x1A" + otherCase(key));
        FUZZ_CHECK(again.has_value() == found.has_value());
        FUZZ_CHECK(!again || (again->offset == found->offset && again->value == found->value));
    }
}

void checkLines(const Profile& profile, const PlainReader& plain) {
    const std::size_t size = profile.text().size();
    FUZZ_CHECK(profile.lineAt(0) == 1);
    // Evenly spread offsets, and the ones around the first line mark.
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i <= 32; ++i)
        offsets.push_back(size * i / 32);
    for (std::size_t at : {std::size_t{65535}, std::size_t{65536}, std::size_t{65537}})
        offsets.push_back(std::min(at, size));
    offsets.push_back(size + 10);
    std::sort(offsets.begin(), offsets.end());
    std::size_t previous = 1;
    for (std::size_t offset : offsets) {
        const std::size_t line = profile.lineAt(offset);
        FUZZ_CHECK(line == plain.lineAt(offset));
        FUZZ_CHECK(line >= previous);
        previous = line;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Profile profile = Profile::parse(bytes);
    const PlainReader plain(bytes);
    FUZZ_CHECK(profile.text() == plain.text());

    const std::vector<std::string_view> shipKeys(korvane::fuzz::kShipKeys.begin(),
                                                 korvane::fuzz::kShipKeys.end());
    for (std::string_view ship : korvane::fuzz::kShipSections)
        checkKeys(profile, plain, ship, shipKeys);

    std::size_t asked = 0;
    for (const auto& section : plain.sections()) {
        if (asked++ == kSectionsFromInput)
            break;
        std::vector<std::string_view> keys;
        for (const auto& [offset, line] : section.lines) {
            if (keys.size() == kKeysPerSection)
                break;
            keys.push_back(PlainReader::keyName(line));
        }
        checkKeys(profile, plain, section.name, keys);
    }
    checkLines(profile, plain);
    return 0;
}
