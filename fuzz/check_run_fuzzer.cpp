// Arbitrary bytes through the whole check run, into the in-memory report as
// the window's Check command writes it. The report must keep its shape
// whatever the bytes: a first line, per ship a blue header, its red
// findings, a blue summary that counts them and an empty line, then the
// verdict; every finding's keys must read what the reader reads on its own,
// and point at the lines the reader gives.
#include "check_result.h"
#include "fuzz_check.h"
#include "profile.h"
#include "ship_keys.h"

#include <cstdint>
#include <string>

namespace {

using korvane::Profile;
using korvane::ReportLine;

// The line a finding's key points at: its own, or its section's header.
std::optional<std::size_t> lineOf(const Profile& profile, std::string_view ship,
                                  std::string_view key) {
    std::optional<Profile::KeyLine> found;
    const auto header = profile.findKeys(ship, std::span(&key, 1), std::span(&found, 1));
    if (found)
        return profile.lineAt(found->offset);
    return header ? std::optional(profile.lineAt(*header)) : std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    korvane::MemoryFiles files;
    files.put("settings.cfg", bytes);
    korvane::CheckRequest request{"settings.cfg"};
    request.files = &files;
    const korvane::CheckResult outcome = korvane::check(request);
    FUZZ_CHECK(outcome.status == korvane::FileStatus::Ok && !outcome.mayBeWrong);

    const auto& lines = outcome.lines;
    FUZZ_CHECK(lines.size() >= 26 && lines.size() <= 154);
    FUZZ_CHECK(lines.front() == (ReportLine{"Checking settings...", korvane::kBlack}));

    // The same bytes parsed afresh, and asked one key at a time.
    const Profile profile = Profile::parse(bytes);
    std::size_t at = 1;
    std::size_t finding = 0;
    int total = 0;
    for (std::string_view ship : korvane::fuzz::kShipSections) {
        FUZZ_CHECK(at < lines.size());
        FUZZ_CHECK(lines[at++] ==
                   (ReportLine{"Checking " + std::string(ship) + "...", korvane::kBlue}));
        int count = 0;
        for (; at < lines.size() && lines[at].colour == korvane::kRed; ++at, ++count) {
            FUZZ_CHECK(finding < outcome.findings.size());
            const korvane::ResultFinding& f = outcome.findings[finding++];
            FUZZ_CHECK(f.ship == ship);
            FUZZ_CHECK(f.text == lines[at].text);
            FUZZ_CHECK(!f.keys.empty() && f.keys.size() <= 2);
            for (const korvane::ResultKey& key : f.keys) {
                FUZZ_CHECK(profile.readInt(ship, key.name) == key.value);
                FUZZ_CHECK(lineOf(profile, ship, key.name) ==
                           (key.origin ? std::optional(key.origin->at.line) : std::nullopt));
                FUZZ_CHECK(!key.origin || key.origin->at.file == "settings.cfg");
            }
        }
        FUZZ_CHECK(count <= 16);
        const std::string summary = count == 0 ? std::string(ship) + " is OK"
                                               : "Number of errors: " + std::to_string(count) + ".";
        FUZZ_CHECK(at + 1 < lines.size());
        FUZZ_CHECK(lines[at++] == (ReportLine{summary, korvane::kBlue}));
        FUZZ_CHECK(lines[at++] == (ReportLine{"", korvane::kBlack}));
        total += count;
    }
    FUZZ_CHECK(finding == outcome.findings.size());
    FUZZ_CHECK(outcome.errors == total);
    FUZZ_CHECK(at + 1 == lines.size());
    const std::string verdict =
        total == 0 ? "This CFG file is OK." : "Total errors: " + std::to_string(total) + ".";
    FUZZ_CHECK(lines.back() == (ReportLine{verdict, korvane::kBlack}));
    return 0;
}
