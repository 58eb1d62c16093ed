#include "folder_watch.h"

#include "wide.h"

FolderWatch::~FolderWatch() {
    stop();
}

void FolderWatch::watch(const std::vector<std::string>& folders, HWND window, UINT message) {
    stop();
    constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                               FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
    std::unique_ptr<Group> group;
    const auto start = [&] {
        if (group && group->handles.size() > 1) {
            group->thread = CreateThread(nullptr, 0, wait, group.get(), 0, nullptr);
            if (group->thread)
                groups_.push_back(std::move(group));
        }
        if (group) // no thread: its handles are closed here
            for (HANDLE handle : group->handles)
                handle == group->stop ? CloseHandle(handle) : FindCloseChangeNotification(handle);
        group.reset();
    };
    for (const std::string& folder : folders) {
        if (!group) {
            group = std::make_unique<Group>();
            group->window = window;
            group->message = message;
            group->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            if (!group->stop)
                return;
            group->handles.push_back(group->stop);
        }
        const HANDLE change = FindFirstChangeNotificationW(
            korvane::win32::fromUtf8(folder).c_str(), FALSE, kChanges);
        if (change != INVALID_HANDLE_VALUE)
            group->handles.push_back(change);
        if (group->handles.size() == MAXIMUM_WAIT_OBJECTS)
            start();
    }
    start();
}

void FolderWatch::stop() {
    for (const auto& group : groups_) {
        SetEvent(group->stop);
        WaitForSingleObject(group->thread, INFINITE);
        CloseHandle(group->thread);
        CloseHandle(group->stop);
        for (std::size_t i = 1; i < group->handles.size(); ++i)
            FindCloseChangeNotification(group->handles[i]);
    }
    groups_.clear();
}

DWORD WINAPI FolderWatch::wait(void* data) {
    const Group& group = *static_cast<Group*>(data);
    const auto count = static_cast<DWORD>(group.handles.size());
    for (;;) {
        const DWORD signalled = WaitForMultipleObjects(count, group.handles.data(), FALSE, INFINITE);
        if (signalled <= WAIT_OBJECT_0 || signalled >= WAIT_OBJECT_0 + count)
            return 0; // stopped, or the wait failed
        PostMessageW(group.window, group.message, 0, 0);
        if (!FindNextChangeNotification(group.handles[signalled - WAIT_OBJECT_0]))
            return 0;
    }
}
