// Korvane's native Windows window: the start creates and shows the main
// window, checks the FILE it was given, and runs the message loop.

#include "form1.h"
#include "resource.h"
#include "wide.h"
#include "window_text.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    // korvane.exe [FILE]: more is refused, as the Linux window refuses it;
    // a window program has no console to say so on.
    if (const auto refused =
            korvane::window::refusedFiles(count > 1 ? std::size_t(count - 1) : 0)) {
        LocalFree(arguments);
        MessageBoxW(nullptr,
                    korvane::win32::fromUtf8(korvane::window::usageError(*refused)).c_str(),
                    korvane::win32::fromUtf8(korvane::window::kProgramCaption).c_str(),
                    MB_OK | MB_ICONERROR);
        return korvane::window::kUsageStatus;
    }
    // The pane's accessible description is a COM service.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Form1 form;
    if (!form.create(instance))
        return 1;
    ShowWindow(form.hwnd(), show);
    UpdateWindow(form.hwnd());

    // korvane.exe FILE: checked at once.
    if (arguments && count > 1)
        form.checkFile(arguments[1]);
    LocalFree(arguments);

    HACCEL shortcuts = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_FORM1));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Form1's shortcuts, wherever its focus is; a modal box runs its
        // own loop, so they do not reach past it.
        if (TranslateAcceleratorW(form.hwnd(), shortcuts, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return static_cast<int>(message.wParam);
}
