#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Tells a window when something changes in any of a few folders (a file
// made, removed, renamed, written or resized in it, not below it), through
// the system's change notifications: no folder is listed or polled. The
// window then asks the watch plan (watch_plan.h) whether it matters.
class FolderWatch {
public:
    FolderWatch() = default;
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // From now on posts `message` to `window` after each change in one of
    // `folders` (UTF-8); those that cannot be watched are passed over.
    void watch(const std::vector<std::string>& folders, HWND window, UINT message);
    // No more messages once it returns.
    void stop();

private:
    // One thread waits for up to MAXIMUM_WAIT_OBJECTS - 1 folders and its
    // stop event.
    struct Group {
        HWND window = nullptr;
        UINT message = 0;
        HANDLE stop = nullptr; // first of the handles waited for
        std::vector<HANDLE> handles;
        HANDLE thread = nullptr;
    };
    static DWORD WINAPI wait(void* group);
    std::vector<std::unique_ptr<Group>> groups_;
};
