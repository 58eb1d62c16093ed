// The file layer on Windows: settings_file.h and the mapping part of
// bytes.h. Files are opened by their wide (UTF-16) names and read into
// memory as they are (binary: CRs and 0x1A stay); they are never mapped, as
// a mapping brings no clear gain there and a file cut short while mapped
// would end the program.
#include "read_to_end.h"
#include "settings_file.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>
#include <windows.h>

namespace korvane {

void Bytes::unmap() {}

bool Bytes::damaged() const {
    return false;
}

void guardMappedFiles() {}

namespace {

// Paths arrive as UTF-8 (the programs take their arguments as UTF-8).
std::wstring widened(const std::string& path) {
    if (path.empty())
        return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return wide;
}

// UTF-16 as UTF-8; unpaired surrogates become U+FFFD.
std::string narrowed(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}

// The path of the file an open handle reads on its volume (\x\y.conf),
// or nothing: where a whole path cannot be had (Wine, past 260 characters).
std::string pathOnVolumeOf(HANDLE handle) {
    // The name's longest: 32,767 characters.
    std::vector<std::uint64_t> info((sizeof(FILE_NAME_INFO) + 65536) / 8 + 1);
    if (!::GetFileInformationByHandleEx(handle, FileNameInfo, info.data(),
                                        static_cast<DWORD>(info.size() * 8)))
        return {};
    const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(info.data());
    return narrowed(std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t)));
}

// The path of the file an open handle reads, as the user would write it
// (C:\x, \\server\share\x), or nothing where the system cannot tell.
std::string pathOf(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= path.size()) { // too short: n is the size needed
        path.resize(n);
        n = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= path.size())
        return pathOnVolumeOf(handle);
    path.resize(n);
    if (path.starts_with(L"\\\\?\\UNC\\"))
        path.replace(0, 8, L"\\\\");
    else if (path.starts_with(L"\\\\?\\"))
        path.erase(0, 4);
    return narrowed(path);
}

// The errno that a Windows error stands for, as POSIX would name it.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    default:
        return EIO;
    }
}

FileRead failed(FileStatus status, int error, bool folder = false) {
    return {{}, status, error, folder};
}

// A settings file opened for reading: only a file on a disk. Others may go
// on writing, renaming or deleting it meanwhile.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) {
        const std::wstring wide = widened(path);
        if (wide.empty()) {
            status_ = FileStatus::Missing;
            error_ = ENOENT;
            return;
        }
        // Folders are told without opening them; devices (NUL, CON, COM1)
        // have no attributes to tell, and opening says what they are.
        WIN32_FILE_ATTRIBUTE_DATA attributes{};
        if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attributes)) {
            if (errnoOf(::GetLastError()) == ENOENT) {
                status_ = FileStatus::Missing;
                error_ = ENOENT;
                return;
            }
        } else if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            status_ = FileStatus::NotRegular;
            folder_ = true;
            return;
        }
        handle_ = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            error_ = errnoOf(::GetLastError());
            status_ = error_ == ENOENT ? FileStatus::Missing : FileStatus::Unreadable;
            return;
        }
        LARGE_INTEGER size{};
        if (::GetFileType(handle_) != FILE_TYPE_DISK || !::GetFileSizeEx(handle_, &size)) {
            status_ = FileStatus::NotRegular;
            return;
        }
        size_ = static_cast<std::uint64_t>(size.QuadPart);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }

    FileStatus status_ = FileStatus::Ok;
    int error_ = 0;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::uint64_t size_ = 0;
    bool folder_ = false;
};

FileRead readAll(HANDLE handle, std::uint64_t said, std::uint64_t cap) {
    const auto readSome = [handle](char* into, std::size_t room) -> long long {
        DWORD n = 0;
        if (::ReadFile(handle, into, static_cast<DWORD>(std::min(room, std::size_t{1} << 30)), &n,
                       nullptr))
            return n;
        // A pipe whose writer is gone has simply ended.
        const DWORD error = ::GetLastError();
        return error == ERROR_BROKEN_PIPE ? 0 : -static_cast<long long>(errnoOf(error));
    };
    return readToEnd(readSome, said, cap);
}

} // namespace

FileRead readSettingsFile(const std::string& path, Reading, std::uint64_t limit) {
    const OpenFile file(path);
    if (file.status_ != FileStatus::Ok)
        return failed(file.status_, file.error_, file.folder_);
    const std::uint64_t cap = limit == UINT64_MAX ? limit : limit + 1;
    return readAll(file.handle_, file.size_, cap);
}

FileRead probeSettingsFile(const std::string& path) {
    const OpenFile file(path);
    return failed(file.status_, file.error_, file.folder_);
}

FileRead readStandardInput() {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    if (in == nullptr || in == INVALID_HANDLE_VALUE)
        return failed(FileStatus::Unreadable, EBADF);
    // A file given as standard input tells its size from where it is read.
    std::uint64_t said = 0;
    LARGE_INTEGER size{}, at{};
    if (::GetFileType(in) == FILE_TYPE_DISK && ::GetFileSizeEx(in, &size) &&
        ::SetFilePointerEx(in, LARGE_INTEGER{}, &at, FILE_CURRENT) && at.QuadPart <= size.QuadPart)
        said = static_cast<std::uint64_t>(size.QuadPart - at.QuadPart);
    FileRead read = readAll(in, said, UINT64_MAX);
    // As on Linux: a redirected file's name tells its dialect.
    if (read.status == FileStatus::Ok && ::GetFileType(in) == FILE_TYPE_DISK)
        read.source = pathOf(in);
    return read;
}

} // namespace korvane
