#include "form1.h"

#include "file_names.h"
#include "form2.h"
#include "module1.h"
#include "resource.h"
#include "settings_file.h"
#include "twips.h"
#include "wide.h"

#include <shellapi.h>

namespace {

constexpr wchar_t kClassName[] = L"Form1";
constexpr wchar_t kCaption[] = L"Korvane";
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 1000; // ms

// Filters as description, pattern; the first lists the newer servers'
// .conf files too.
constexpr wchar_t kFilter[] = L"SS Configuration Files\0*.cfg;*.conf\0All files\0*.*\0";

// What the caption calls a file: the last part of its path.
std::wstring nameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return name.empty() ? path : name;
}

} // namespace

bool Form1::create(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(
        instance, MAKEINTRESOURCEW(IDI_KORVANE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KORVANE),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_FORM1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass))
        return false;

    hwnd_ = CreateWindowExW(WS_EX_ACCEPTFILES, kClassName, kCaption, WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            nullptr, instance, this);
    if (!hwnd_)
        return false;

    // The client area's size in twips, at the DPI of the monitor the
    // window system put the window on.
    const UINT dpi = GetDpiForWindow(hwnd_);
    RECT frame{0, 0, korvane::win32::twips::toPixels(7824, dpi),
               korvane::win32::twips::toPixels(3912, dpi)};
    AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_ACCEPTFILES, dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creating = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creating->lpCreateParams));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form)
        return DefWindowProcW(hwnd, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        form->Form_Load(hwnd);
        return 0;
    case WM_SIZE:
        form->Form_Resize(wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_DPICHANGED:
        form->Form_DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETFOCUS:
        // The pane holds the focus, so Ctrl+A and Ctrl+C work in it at once.
        SetFocus(form->Text1.hwnd());
        return 0;
    case WM_DROPFILES:
        form->Form_DragDrop(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        EnableMenuItem(reinterpret_cast<HMENU>(wParam), IDM_MNUFILEAGAIN,
                       MF_BYCOMMAND | (form->shownFile_.empty() ? MF_GRAYED : MF_ENABLED));
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1)
            form->Timer1_Timer();
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_MNUFILECHK:
            form->mnufilechk_Click();
            return 0;
        case IDM_MNUFILEAGAIN:
            form->mnufileagain_Click();
            return 0;
        case IDM_MNUFILEXIT:
            form->mnufilexit_Click();
            return 0;
        case IDM_MNUABT:
            form->mnuabt_Click();
            return 0;
        }
        break;
    case WM_DESTROY:
        form->Form_Unload();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Form1::Form_Load(HWND hwnd) {
    hwnd_ = hwnd;
    Text1.create(hwnd);
    setFont(GetDpiForWindow(hwnd));
    korvane::Module1::SetReportPane(&Text1);

    CommonDialog1.lStructSize = sizeof CommonDialog1;
    CommonDialog1.hwndOwner = hwnd;
    CommonDialog1.lpstrFilter = kFilter;
    CommonDialog1.nFilterIndex = 1;
    CommonDialog1.lpstrFile = dialogFile_.data();
    CommonDialog1.nMaxFile = static_cast<DWORD>(dialogFile_.size());
    // The current folder stays where the program started (relative paths
    // from the command line keep their meaning), and no shortcut to the
    // chosen file is added to the user's recent documents.
    CommonDialog1.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;

    DragAcceptFiles(hwnd, TRUE);
    SetTimer(hwnd, kTimer1, kTimer1Interval, nullptr);
}

void Form1::Form_Resize(WPARAM state, int width, int height) {
    if (state == SIZE_MINIMIZED || !Text1.hwnd())
        return;
    MoveWindow(Text1.hwnd(), 0, 0, width, height, TRUE);
}

void Form1::Form_DpiChanged(UINT dpi, const RECT& suggested) {
    setFont(dpi);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::setFont(UINT dpi) {
    // The window system's message font, at this DPI.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        Text1.setFont(metrics.lfMessageFont, dpi);
}

void Form1::Form_DragDrop(HDROP drop) {
    // The first file, of several.
    std::wstring file;
    if (const UINT length = DragQueryFileW(drop, 0, nullptr, 0); length > 0) {
        file.resize(length + 1);
        DragQueryFileW(drop, 0, file.data(), length + 1);
        file.resize(length);
    }
    DragFinish(drop);
    if (!file.empty())
        checkFile(file);
}

void Form1::Form_Unload() {
    KillTimer(hwnd_, kTimer1);
    if (korvane::Module1::GetReportPane() == &Text1)
        korvane::Module1::SetReportPane(nullptr);
    PostQuitMessage(0);
}

void Form1::checkFile(const std::wstring& path) {
    using namespace korvane;
    shownFile_ = path;
    const std::wstring caption = nameOf(path) + L" - " + kCaption;
    SetWindowTextW(hwnd_, caption.c_str());
    // Drawn once, when the report is whole.
    SendMessageW(Text1.hwnd(), WM_SETREDRAW, FALSE, 0);
    // The check's error trap: a failure anywhere in the run ends it without
    // a message; the lines already written stay and the window stays usable.
    try {
        Module1::ConfigFile = win32::toUtf8(path);
        // Noted before the run, so that a change made while it reads is
        // seen, and checked, next time.
        try {
            watch_.watch(Module1::ConfigFile);
        } catch (...) {
            watch_.stop(); // F5 still checks again
        }
        Text1.clear();
        // A path that cannot be checked gets one red line from the check.
        Module1::CheckSettings();
    } catch (...) {
    }
    SendMessageW(Text1.hwnd(), WM_SETREDRAW, TRUE, 0);
    // The scroll bar too, which the report may have made necessary.
    RedrawWindow(Text1.hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void Form1::mnufilechk_Click() {
    inCommand_ = true;
    // The command's error trap, as checkFile has its own: nothing that fails
    // here shows a message. A cancelled dialog may still hold an earlier
    // choice: only an accepted one starts a check.
    try {
        if (GetOpenFileNameW(&CommonDialog1) && dialogFile_[0] != L'\0')
            checkFile(dialogFile_.c_str());
    } catch (...) {
    }
    inCommand_ = false;
}

void Form1::mnufileagain_Click() {
    if (!shownFile_.empty())
        checkFile(std::wstring(shownFile_));
}

void Form1::mnufilexit_Click() {
    DestroyWindow(hwnd_);
}

void Form1::mnuabt_Click() {
    inCommand_ = true;
    Form2::Show(hwnd_);
    inCommand_ = false;
}

void Form1::Timer1_Timer() {
    if (inCommand_ || shownFile_.empty())
        return;
    bool changed = false;
    try {
        changed = watch_.changed();
    } catch (...) {
    }
    if (changed)
        checkFile(std::wstring(shownFile_));
}
