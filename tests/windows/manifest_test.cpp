// What Windows reads of korvane-check.exe before it runs: the manifest
// resource (RT_MANIFEST 1) that declares it long-path aware, so that paths
// past 260 characters open where the system allows them. Wine opens such
// paths either way, so only the resource itself can tell.
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

std::string manifestOf(std::wstring program) {
    for (wchar_t& c : program) // LoadLibraryExW takes '\\' only
        c = c == L'/' ? L'\\' : c;
    const HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return {};
    std::string text;
    if (const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        const HGLOBAL loaded = ::LoadResource(module, found);
        const auto* bytes = static_cast<const char*>(::LockResource(loaded));
        if (bytes)
            text.assign(bytes, ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return text;
}

TEST(Manifest, TheCheckerIsLongPathAware) {
    const std::string manifest = manifestOf(KORVANE_CHECK_EXE);
    ASSERT_FALSE(manifest.empty()) << "no manifest in korvane-check.exe";
    EXPECT_NE(manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                            "WindowsSettings\">true</longPathAware>"),
              std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
}

} // namespace
