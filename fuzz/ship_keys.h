#pragma once

// The names a check run asks for: the eight ship sections and the thirty
// keys the sixteen rules read in each.

#include <array>
#include <string>
#include <string_view>

namespace korvane::fuzz {

inline constexpr std::array<std::string_view, 8> kShipSections = {
    "Warbird", "Javelin", "Spider", "Leviathan", "Terrier", "Weasel", "Lancaster", "Shark"};

inline const std::array<std::string, 30> kShipKeys = {
    "InitialRotation", "MaximumRotation", "InitialSpeed",    "MaximumSpeed",  "InitialThrust",
    "MaximumThrust",   "InitialRecharge", "MaximumRecharge", "InitialEnergy", "MaximumEnergy",
    "InitialRepel",    "RepelMax",        "InitialBurst",    "BurstMax",      "InitialBrick",
    "BrickMax",        "InitialRocket",   "RocketMax",       "InitialDecoy",  "DecoyMax",
    "InitialPortal",   "PortalMax",       "InitialThor",     "ThorMax",       "InitialGuns",
    "MaxGuns",         "InitialBombs",    "MaxBombs",        "SuperTime",     "ShieldsTime"};

} // namespace korvane::fuzz
