#include "form1.h"

#include "file_names.h"
#include "form2.h"
#include "module1.h"
#include "resource.h"
#include "settings_file.h"
#include "twips.h"
#include "wide.h"
#include "window_text.h"

#include <exception>
#include <shellapi.h>

namespace {

constexpr wchar_t kClassName[] = L"Form1";
constexpr UINT_PTR kTimer1 = 1;
// Posted by the folder watch's threads.
constexpr UINT WM_FOLDERCHANGED = WM_APP + 1;

// Filters as description, pattern; the first lists the newer servers'
// .conf files too.
constexpr wchar_t kFilter[] = L"SS Configuration Files\0*.cfg;*.conf\0All files\0*.*\0";

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

    hwnd_ = CreateWindowExW(WS_EX_ACCEPTFILES, kClassName,
                            korvane::win32::fromUtf8(korvane::window::kProgramCaption).c_str(),
                            WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!hwnd_)
        return false;

    // The client area's size in twips, at the DPI of the monitor the
    // window system put the window on.
    const UINT dpi = GetDpiForWindow(hwnd_);
    RECT frame = korvane::win32::twips::toPixels(korvane::window::kMainClient, dpi);
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
    case WM_FOLDERCHANGED:
        form->FolderChanged();
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1)
            form->Timer1_Timer();
        return 0;
    case WM_SYSCOLORCHANGE:
        // The pane, a child, hears of it only from here.
        SendMessageW(form->Text1.hwnd(), WM_SYSCOLORCHANGE, wParam, lParam);
        form->Text1.recolour();
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
        case IDM_EXPLAIN:
            form->mnuexplain_Click();
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

    Text1.explanationOf = [this](std::size_t line) {
        return checked_
                   ? korvane::win32::fromUtf8(korvane::window::explanationOfLine(*checked_, line))
                   : std::wstring();
    };
    DragAcceptFiles(hwnd, TRUE);
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
    watch_.stop();
    KillTimer(hwnd_, kTimer1);
    if (korvane::Module1::GetReportPane() == &Text1)
        korvane::Module1::SetReportPane(nullptr);
    PostQuitMessage(0);
}

void Form1::checkFile(const std::wstring& path) {
    using namespace korvane;
    shownFile_ = path;
    KillTimer(hwnd_, kTimer1);
    const std::string file = win32::toUtf8(path);
    SetWindowTextW(
        hwnd_,
        win32::fromUtf8(window::caption(file, window::Separators::SlashOrBackslash)).c_str());
    checked_.reset();
    // Drawn once, when the report is whole.
    SendMessageW(Text1.hwnd(), WM_SETREDRAW, FALSE, 0);
    // A failure anywhere in the run ends it with a line that says so; the
    // lines already written stay and the window stays usable.
    std::optional<std::string> stopped;
    try {
        Module1::ConfigFile = file;
        Text1.clear();
        // A path that cannot be checked gets one red line from the check.
        Module1::CheckSettings();
        checked_ = Module1::LastResult();
    } catch (const std::exception& error) {
        stopped = window::stoppedLine(file, error.what());
    } catch (...) {
        stopped = window::stoppedLine(file, std::nullopt);
    }
    if (stopped) {
        try {
            Module1::AddReportLine(*stopped, kRed);
        } catch (...) {
        }
    }
    try {
        plan_ =
            checked_ ? window::WatchPlan(file, *checked_) : window::WatchPlan(file, CheckResult{});
        watch_.watch(plan_.folders(), hwnd_, WM_FOLDERCHANGED);
    } catch (...) {
        watch_.stop(); // F5 still checks again
    }
    Text1.describeCaretLine();
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

void Form1::mnuexplain_Click() {
    inCommand_ = true;
    Text1.explain(Text1.caretLine());
    inCommand_ = false;
}

void Form1::FolderChanged() {
    SetTimer(hwnd_, kTimer1, korvane::window::kPauseMilliseconds, nullptr);
}

void Form1::Timer1_Timer() {
    // Under a modal dialog, the look waits until it is closed.
    if (inCommand_)
        return;
    KillTimer(hwnd_, kTimer1);
    if (shownFile_.empty())
        return;
    bool changed = false;
    try {
        changed = plan_.changed();
    } catch (...) {
        changed = true; // F5 would check again; so does the window
    }
    if (changed)
        checkFile(std::wstring(shownFile_));
}
