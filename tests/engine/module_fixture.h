#pragma once

// Runs the module's procedures on settings held in memory, into an
// in-memory report, and puts the module's state back afterwards.

#include "memory_report.h"
#include "module1.h"
#include "profile_store.h"

#include <gtest/gtest.h>
#include <string>

namespace korvane::test {

class ModuleTest : public testing::Test {
protected:
    static constexpr const char* kPath = "memory:settings.cfg";

    void SetUp() override {
        Module1::SetReportPane(&report);
        Module1::ConfigFile = kPath;
        Module1::CurrentSection.clear();
    }
    void TearDown() override {
        Module1::SetReportPane(nullptr);
        Module1::ConfigFile.clear();
        Module1::CurrentSection.clear();
        ProfileStore::instance().forgetMemoryFile(kPath);
    }
    void settings(const std::string& text) { ProfileStore::instance().setMemoryFile(kPath, text); }

    MemoryReport report;
};

} // namespace korvane::test
