#include "console.h"

#include <algorithm>
#include <cerrno>
// windows.h first, as shellapi.h needs it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

namespace korvane::cli {
namespace {

std::string utf8(const wchar_t* wide) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
    text.pop_back(); // the terminating NUL
    return text;
}

} // namespace

Arguments::Arguments(int argc, char** argv) {
    int count = 0;
    if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            texts_.push_back(utf8(wide[i]));
        ::LocalFree(wide);
    } else {
        texts_.assign(argv, argv + argc);
    }
    for (std::string& text : texts_)
        pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

bool colourTerminal() {
    // Only a console has a mode; one that cannot take escape sequences
    // (before Windows 10) refuses virtual terminal processing.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(out, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
           ::SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::string withLineEnds(std::string text) {
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    std::string out;
    out.reserve(text.size() + lines);
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

int writeStandardOutput(std::string_view bytes) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return EBADF;
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD n = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 30));
        if (!::WriteFile(out, bytes.data() + done, chunk, &n, nullptr)) {
            switch (::GetLastError()) {
            case ERROR_BROKEN_PIPE:
            case ERROR_NO_DATA:            // the reading end is closed
            case ERROR_PIPE_NOT_CONNECTED: // Wine's word for it
                return EPIPE;
            case ERROR_DISK_FULL:
            case ERROR_HANDLE_DISK_FULL:
                return ENOSPC;
            case ERROR_INVALID_HANDLE:
                return EBADF;
            default:
                return EIO;
            }
        }
        done += n;
    }
    return 0;
}

} // namespace korvane::cli
