#include "standard_input.h"

#include <algorithm>
#include <windows.h>

namespace korvane::lsp {

void prepareStandardStreams() {
    // Input is read with ReadFile and output written with WriteFile
    // (console.h): no C runtime text mode stands between them and the bytes.
}

bool inputWaiting(int milliseconds) {
    if (milliseconds < 0)
        return true; // the read itself waits
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    switch (::GetFileType(in)) {
    case FILE_TYPE_PIPE:
        // A pipe cannot be waited on: ask how much it holds, now and then.
        for (int waited = 0;; waited += 5) {
            DWORD available = 0;
            if (!::PeekNamedPipe(in, nullptr, 0, nullptr, &available, nullptr) || available > 0)
                return true; // bytes, or a broken pipe the read will tell of
            if (waited >= milliseconds)
                return false;
            ::Sleep(5);
        }
    case FILE_TYPE_CHAR:
        return ::WaitForSingleObject(in, static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
    default:
        return true; // a file: a read never waits
    }
}

std::size_t readInput(char* buffer, std::size_t size) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
    if (!::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, chunk, &n, nullptr))
        return 0;
    return n;
}

} // namespace korvane::lsp
