#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Tells when a checked file, or for a .conf file any file its #include
// lines could reach, has changed on disk since it was checked, by comparing
// names, sizes and times. Reads no file's contents and writes nothing.
class FileWatch {
public:
    // Notes the state of the files that checking `path` (UTF-8) may read.
    void watch(const std::string& path);
    // Forgets them: changed() is false from now on.
    void stop();
    // Whether any of them is there, gone, grown or rewritten since watch().
    bool changed() const;

private:
    struct Entry {
        std::wstring path;
        std::uint64_t size;
        std::int64_t time;
        bool operator==(const Entry&) const = default;
    };
    using Snapshot = std::vector<Entry>;
    Snapshot take() const;

    std::string path_;
    bool watching_ = false;
    Snapshot last_;
};
