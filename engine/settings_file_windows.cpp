// The file layer on Windows: files are opened by their wide (UTF-16) names,
// in binary mode, and read into memory.
#include "settings_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <io.h>
#include <new>
#include <utility>
#include <windows.h>

namespace korvane {
namespace {

// Paths arrive as UTF-8 (korvane-check converts its wide arguments).
std::wstring widened(const std::string& path) {
    if (path.empty())
        return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return wide;
}

// The errno a failed call's Windows error stands for, as POSIX would name it.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
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
    default:
        return EIO;
    }
}

FileRead readAll(int fd, std::size_t sizeHint) {
    FileRead read;
    Bytes& out = read.bytes;
    try {
        out.reserve(std::max<std::size_t>(sizeHint + 1, 1 << 16));
        for (;;) {
            if (out.size() == out.capacity())
                out.reserve(out.capacity() * 2);
            const auto room = static_cast<unsigned>(
                std::min<std::size_t>(out.capacity() - out.size(), INT_MAX / 2));
            const int n = ::_read(fd, out.data() + out.size(), room);
            if (n == 0)
                break;
            if (n < 0)
                return {{}, FileStatus::Unreadable, errno};
            out.resize(out.size() + static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        return {{}, FileStatus::Unreadable, ENOMEM};
    }
    return read;
}

} // namespace

OpenFile OpenFile::open(const std::string& path) {
    const std::wstring wide = widened(path);
    if (wide.empty())
        return {FileStatus::Missing, ENOENT};
    // Folders are told without opening them. Devices (NUL, CON) have no
    // attributes to tell: opening says what they are.
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attributes)) {
        if (const int err = errnoOf(::GetLastError()); err == ENOENT)
            return {FileStatus::Missing, err};
    } else if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        OpenFile folder(FileStatus::NotRegular, 0);
        folder.folder_ = true;
        return folder;
    }
    // Others may go on writing, renaming or deleting the file meanwhile.
    const HANDLE handle = ::CreateFileW(
        wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const int err = errnoOf(::GetLastError());
        return {err == ENOENT ? FileStatus::Missing : FileStatus::Unreadable, err};
    }
    // Devices (NUL, CON, COM1) and pipes are not settings files.
    LARGE_INTEGER size{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size)) {
        ::CloseHandle(handle);
        return {FileStatus::NotRegular, 0};
    }
    // A C run-time descriptor, in binary mode: text mode would drop CRs and
    // stop at the first 0x1A.
    OpenFile file(FileStatus::Ok, 0);
    file.fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (file.fd_ < 0) {
        ::CloseHandle(handle);
        return {FileStatus::Unreadable, EMFILE};
    }
    file.size_ = static_cast<std::uint64_t>(size.QuadPart);
    return file;
}

OpenFile::OpenFile(OpenFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_), error_(other.error_),
      size_(other.size_), folder_(other.folder_) {}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
    std::swap(fd_, other.fd_);
    status_ = other.status_;
    error_ = other.error_;
    size_ = other.size_;
    folder_ = other.folder_;
    return *this;
}

OpenFile::~OpenFile() {
    if (fd_ >= 0)
        ::_close(fd_);
}

FileRead readSettingsFile(const std::string& path) {
    const OpenFile file = OpenFile::open(path);
    if (file.status() != FileStatus::Ok)
        return {{}, file.status(), file.error()};
    if (file.size() >= SIZE_MAX)
        return {{}, FileStatus::Unreadable, ENOMEM};
    return readAll(file.fd(), static_cast<std::size_t>(file.size()));
}

FileRead readStream(int fd) {
    // Binary mode: the bytes as they are, CRs and 0x1A too.
    if (::_setmode(fd, _O_BINARY) == -1)
        return {{}, FileStatus::Unreadable, errno};
    return readAll(fd, 0);
}

} // namespace korvane
