#include "settings_generator.h"

#include <array>

namespace korvane::bench {
namespace {

constexpr std::array<const char*, 8> kShips = {"Warbird", "Javelin", "Spider",    "Leviathan",
                                               "Terrier", "Weasel",  "Lancaster", "Shark"};
constexpr const char* kShipKeys =
    "SuperTime=6000\r\nShieldsTime=3000\r\nInitialRotation=200\r\nMaximumRotation=260\r\n"
    "InitialThrust=15\r\nMaximumThrust=18\r\nInitialSpeed=2000\r\nMaximumSpeed=3250\r\n"
    "InitialRecharge=400\r\nMaximumRecharge=1150\r\nInitialEnergy=1000\r\nMaximumEnergy="
    "1700\r\n"
    "InitialRepel=0\r\nRepelMax=1\r\nInitialBurst=0\r\nBurstMax=1\r\nInitialBrick=0\r\n"
    "BrickMax=0\r\nInitialRocket=0\r\nRocketMax=1\r\nInitialDecoy=0\r\nDecoyMax=1\r\n"
    "InitialPortal=0\r\nPortalMax=0\r\nInitialThor=0\r\nThorMax=0\r\nInitialGuns=1\r\n"
    "MaxGuns=3\r\nInitialBombs=0\r\nMaxBombs=0\r\nBulletFireEnergy=20\r\nRadius=0\r\n\r\n";

std::string ship(const char* name) {
    return std::string("[") + name + "]\r\n" + kShipKeys;
}

std::string allShips() {
    std::string text;
    for (const char* name : kShips)
        text += ship(name);
    return text;
}

// `line` repeated to about `bytes` bytes.
std::string repeated(std::string_view line, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line;
    return text;
}

} // namespace

std::string generateSettings(std::size_t bytes) {
    std::string text;
    text.reserve(bytes + 4096);
    std::size_t section = 0;
    std::size_t next = 0;
    while (text.size() < bytes) {
        // A ship every eighth of the way, the rest other sections.
        if (next < kShips.size() && text.size() >= next * bytes / kShips.size()) {
            text += ship(kShips[next++]);
            continue;
        }
        text += "[Zone" + std::to_string(section++) + "]\r\n";
        for (int k = 0; k < 12; ++k)
            text += "Setting" + std::to_string(k) + "=" + std::to_string(section * 7 + k) + "\r\n";
        text += "; tuned for the league\r\n\r\n";
    }
    return text;
}

std::string generateShape(std::string_view shape, std::size_t bytes) {
    if (shape == "settings")
        return generateSettings(bytes);
    if (shape == "tiny-sections") {
        std::string text;
        text.reserve(bytes + 4096);
        for (std::size_t n = 0; text.size() < bytes; ++n)
            text += "[s" + std::to_string(n) + "]\nk=1\n";
        return text + allShips();
    }
    if (shape == "repeated-name")
        return repeated("[Zone]\r\nSetting=1\r\n", bytes) + allShips();
    // Warbird's keys come after the bulk, so that a walk of its section
    // meets every line of it.
    if (shape == "ship-section")
        return "[Warbird]\r\n" + repeated("x\n", bytes) + kShipKeys + allShips();
    if (shape == "one-key")
        return "[Warbird]\r\n" + repeated("InitialRotation=200\n", bytes) + kShipKeys + allShips();
    return {};
}

} // namespace korvane::bench
