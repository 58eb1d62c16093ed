#include "standard_input.h"

#include <algorithm>
#include <cstring>
#include <windows.h>

namespace korvane::lsp {
namespace {

// Whether a read would wait cannot be asked of every standard input: an
// anonymous pipe answers PeekNamedPipe, but a console, a file or the POSIX
// pipe Wine hands a program does not. So one thread reads, always, into a
// small buffer, and the loop asks the buffer.
class InputThread {
public:
    InputThread() {
        ::InitializeCriticalSection(&lock_);
        ::InitializeConditionVariable(&changed_);
        const HANDLE thread = ::CreateThread(nullptr, 0, &InputThread::main, this, 0, nullptr);
        if (thread)
            ::CloseHandle(thread);
        else
            ended_ = true;
    }

    bool waiting(int milliseconds) {
        ::EnterCriticalSection(&lock_);
        const DWORD timeout = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
        const ULONGLONG until = ::GetTickCount64() + timeout;
        while (held_ == 0 && !ended_) {
            const ULONGLONG now = ::GetTickCount64();
            if (timeout != INFINITE && now >= until)
                break;
            ::SleepConditionVariableCS(&changed_, &lock_,
                                       timeout == INFINITE ? INFINITE : static_cast<DWORD>(until - now));
        }
        const bool ready = held_ > 0 || ended_;
        ::LeaveCriticalSection(&lock_);
        return ready;
    }

    std::size_t read(char* buffer, std::size_t size) {
        waiting(-1);
        ::EnterCriticalSection(&lock_);
        const std::size_t n = std::min(size, held_);
        std::memcpy(buffer, buffer_, n);
        std::memmove(buffer_, buffer_ + n, held_ - n);
        held_ -= n;
        ::WakeAllConditionVariable(&changed_);
        ::LeaveCriticalSection(&lock_);
        return n; // 0 only at the end
    }

private:
    static DWORD WINAPI main(void* self) {
        static_cast<InputThread*>(self)->readAll();
        return 0;
    }

    void readAll() {
        const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
        char chunk[kSize];
        for (;;) {
            // Never more than the buffer has room for: memory stays bounded
            // however much the client sends before the loop takes it.
            ::EnterCriticalSection(&lock_);
            while (held_ == kSize)
                ::SleepConditionVariableCS(&changed_, &lock_, INFINITE);
            const DWORD room = static_cast<DWORD>(kSize - held_);
            ::LeaveCriticalSection(&lock_);
            DWORD n = 0;
            const bool ok = ::ReadFile(in, chunk, room, &n, nullptr) != 0;
            ::EnterCriticalSection(&lock_);
            std::memcpy(buffer_ + held_, chunk, n);
            held_ += n;
            ended_ = !ok || n == 0;
            ::WakeAllConditionVariable(&changed_);
            ::LeaveCriticalSection(&lock_);
            if (!ok || n == 0)
                return;
        }
    }

    static constexpr std::size_t kSize = 1 << 16;
    CRITICAL_SECTION lock_;
    CONDITION_VARIABLE changed_;
    char buffer_[kSize];
    std::size_t held_ = 0;
    bool ended_ = false;
};

InputThread& input() {
    // Never destroyed: the thread may still be in ReadFile when the program
    // ends.
    static InputThread* thread = new InputThread;
    return *thread;
}

} // namespace

void prepareStandardStreams() {
    // Input is read with ReadFile and output written with WriteFile
    // (console.h): no C runtime text mode stands between them and the bytes.
    input();
}

bool inputWaiting(int milliseconds) {
    return input().waiting(milliseconds);
}

std::size_t readInput(char* buffer, std::size_t size) {
    return input().read(buffer, size);
}

} // namespace korvane::lsp
