// Korvane's native Windows window: the start creates and shows the main
// window, checks the FILE it was given, and runs the message loop.

#include "form1.h"
#include "resource.h"

#include <shellapi.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    Form1 form;
    if (!form.create(instance))
        return 1;
    ShowWindow(form.hwnd(), show);
    UpdateWindow(form.hwnd());

    // korvane.exe FILE: the first argument is checked at once.
    int count = 0;
    if (LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        if (count > 1)
            form.checkFile(arguments[1]);
        LocalFree(arguments);
    }

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
    return static_cast<int>(message.wParam);
}
