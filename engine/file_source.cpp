#include "file_source.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 text on every platform (Windows' own narrow strings would
// use its code page).
fs::path pathOf(std::string_view text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string textOf(const std::u8string& text) {
    return std::string(text.begin(), text.end());
}

class DiskFiles final : public FileSource {
public:
    // A whole file is mapped where the program guards mappings (the profile
    // reader's one big file); a bounded read is a reader going through a
    // file once, for which reading costs less than mapping.
    FileRead read(const std::string& path, std::uint64_t limit) const override {
        return readSettingsFile(path, limit == UINT64_MAX ? Reading::Map : Reading::Plain, limit);
    }
    FileRead probe(const std::string& path) const override { return probeSettingsFile(path); }

    FolderListing list(const std::string& folder) const override {
        FolderListing listing;
        std::error_code ec;
        for (fs::directory_iterator it(pathOf(folder), ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code typeError;
            const bool isFolder = it->is_directory(typeError);
            listing.entries.push_back(
                {textOf(it->path().filename().u8string()), isFolder, typeError.value()});
        }
        listing.error = ec.value();
        return listing;
    }

    bool isFolder(const std::string& path) const override {
        std::error_code ec;
        return fs::is_directory(pathOf(path), ec);
    }
};

// A path as the files held are keyed: lexically normal, '/' between its
// parts, no '/' at its end.
std::string normalised(const std::string& path) {
    std::string text = textOf(pathOf(path).lexically_normal().generic_u8string());
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text.empty() ? "." : text;
}

// Whether the normalised `path` lies below the normalised `folder`; the
// rest of it then starts at `rest`.
bool below(const std::string& path, const std::string& folder, std::size_t& rest) {
    if (folder == ".") {
        rest = 0;
        return !path.starts_with('/') && path != ".";
    }
    const std::size_t prefix = folder.ends_with('/') ? folder.size() : folder.size() + 1;
    if (path.size() <= prefix || !path.starts_with(folder) || path[prefix - 1] != '/')
        return false;
    rest = prefix;
    return true;
}

} // namespace

const FileSource& diskFiles() {
    static const DiskFiles disk;
    return disk;
}

void MemoryFiles::put(const std::string& path, std::string bytes) {
    files_[normalised(path)] = std::move(bytes);
}

void MemoryFiles::erase(const std::string& path) {
    files_.erase(normalised(path));
}

FileRead MemoryFiles::read(const std::string& path, std::uint64_t limit) const {
    const std::string key = normalised(path);
    const auto it = files_.find(key);
    if (it == files_.end()) {
        if (holdsFolder(key))
            return {{}, FileStatus::NotRegular, 0, true};
        return behind_ ? behind_->read(path, limit) : FileRead{{}, FileStatus::Missing, ENOENT};
    }
    // As the file layer: at most `limit` bytes plus one.
    const std::string_view bytes = it->second;
    return {Bytes(limit < bytes.size() ? bytes.substr(0, limit + 1) : bytes)};
}

FileRead MemoryFiles::probe(const std::string& path) const {
    const std::string key = normalised(path);
    if (files_.contains(key))
        return {};
    if (holdsFolder(key))
        return {{}, FileStatus::NotRegular, 0, true};
    return behind_ ? behind_->probe(path) : FileRead{{}, FileStatus::Missing, ENOENT};
}

FolderListing MemoryFiles::list(const std::string& folder) const {
    FolderListing listing = behind_ ? behind_->list(folder) : FolderListing{};
    // A folder held in memory alone is no error of the disk's.
    if (listing.error == ENOENT)
        listing.error = 0;
    const std::string key = normalised(folder);
    for (const auto& [path, bytes] : files_) {
        std::size_t rest = 0;
        if (!below(path, key, rest))
            continue;
        const std::size_t slash = path.find('/', rest);
        FolderEntry entry{path.substr(rest, slash - rest), slash != std::string::npos, 0};
        bool known = false;
        for (FolderEntry& e : listing.entries) {
            if (e.name == entry.name) {
                e.folder = e.folder || entry.folder;
                known = true;
            }
        }
        if (!known)
            listing.entries.push_back(std::move(entry));
    }
    return listing;
}

bool MemoryFiles::holdsFolder(const std::string& key) const {
    std::size_t rest = 0;
    const std::string_view prefix = key == "." ? std::string_view() : std::string_view(key);
    for (auto it = key == "." ? files_.begin() : files_.upper_bound(key);
         it != files_.end() && it->first.starts_with(prefix); ++it) {
        if (below(it->first, key, rest))
            return true;
    }
    return false;
}

bool MemoryFiles::isFolder(const std::string& path) const {
    return holdsFolder(normalised(path)) || (behind_ && behind_->isFolder(path));
}

} // namespace korvane
