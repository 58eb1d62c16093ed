#pragma once

// Where the engine gets every file it reads, the checked one and those it
// includes: the disk by default, or files held in memory (an editor's
// unsaved text, files dropped on a page) in front of the disk or alone.
// Nothing above this seam knows where the bytes came from.

#include "settings_file.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane {

// A folder's entries, for the zone walk.
struct FolderEntry {
    std::string name; // UTF-8
    bool folder;
    int error = 0; // errno when whether it is a folder could not be told
};
struct FolderListing {
    std::vector<FolderEntry> entries;
    int error = 0; // errno when the folder could not be listed to its end
};

class FileSource {
public:
    virtual ~FileSource() = default;
    // As readSettingsFile / probeSettingsFile (settings_file.h).
    virtual FileRead read(const std::string& path, std::uint64_t limit = UINT64_MAX) const = 0;
    virtual FileRead probe(const std::string& path) const = 0;
    virtual FolderListing list(const std::string& folder) const = 0;
    virtual bool isFolder(const std::string& path) const = 0;
};

// The disk, through the file layer.
const FileSource& diskFiles();

// Files held in memory, by path. Paths compare after lexical normalising
// ("a/./b" is "a/b", '\\' is '/' on Windows). What it does not hold is
// asked of `behind` (the disk, say), or is Missing when there is none.
class MemoryFiles final : public FileSource {
public:
    explicit MemoryFiles(const FileSource* behind = nullptr) : behind_(behind) {}
    void put(const std::string& path, std::string bytes);
    void erase(const std::string& path);

    FileRead read(const std::string& path, std::uint64_t limit = UINT64_MAX) const override;
    FileRead probe(const std::string& path) const override;
    FolderListing list(const std::string& folder) const override;
    bool isFolder(const std::string& path) const override;

private:
    const FileSource* behind_;
    // Whether a file held lies below the folder `key` (normalised).
    bool holdsFolder(const std::string& key) const;

    std::map<std::string, std::string> files_; // by normalised path
};

} // namespace korvane
