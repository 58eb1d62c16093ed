#pragma once

// Runs the module's procedures on settings held in memory, into an
// in-memory report, and puts the module's state back afterwards.

#include "load_settings.h"
#include "memory_report.h"
#include "module1.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace korvane::test {

class ModuleTest : public testing::Test {
protected:
    void SetUp() override {
        Module1::SetReportPane(&report);
        Module1::ConfigFile = "settings.cfg";
        Module1::CurrentSection.clear();
    }
    void TearDown() override {
        Module1::SetReportPane(nullptr);
        Module1::ConfigFile.clear();
        Module1::CurrentSection.clear();
    }
    // The settings ReadSetting reads from now on, read by the profile reader.
    void settings(const std::string& text) {
        scope.reset();
        loaded = loadSettings({"settings.cfg", Bytes(text)});
        scope.emplace(*loaded.settings);
    }

    MemoryReport report;
    LoadedSettings loaded;
    std::optional<Module1::ReadingScope> scope;
};

} // namespace korvane::test
