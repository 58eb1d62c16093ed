#include "form2.h"

#include "resource.h"
#include "twips.h"
#include "wide.h"
#include "window_text.h"

namespace Form2 {
namespace {

// The box's client area and controls from their twips, at the box's DPI.
void layOut(HWND box) {
    const UINT dpi = GetDpiForWindow(box);
    RECT frame = korvane::win32::twips::toPixels(korvane::window::kAboutClient, dpi);
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(box, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(box, GWL_EXSTYLE)), dpi);
    SetWindowPos(box, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const auto place = [&](int id, const korvane::window::Twips& twips) {
        const RECT r = korvane::win32::twips::toPixels(twips, dpi);
        SetWindowPos(GetDlgItem(box, id), nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(IDC_COMMAND1, korvane::window::kAboutButton);
    place(IDC_LABEL1, korvane::window::kAboutLabel);
}

void Command1_Click(HWND box) {
    EndDialog(box, 0);
}

INT_PTR CALLBACK DialogProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto icon =
            static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KORVANE),
                                          IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        SendMessageW(box, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SetDlgItemTextW(box, IDC_LABEL1,
                        korvane::win32::fromUtf8(korvane::window::aboutText()).c_str());
        layOut(box);
        // The only control that takes the focus, so it always has it.
        SetFocus(GetDlgItem(box, IDC_COMMAND1));
        return FALSE; // the focus is set
    }
    case WM_DPICHANGED:
        layOut(box);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_COMMAND1:
        case IDOK: // Enter, while the focused Command1 is not a default button
            Command1_Click(box);
            return TRUE;
        case IDCANCEL: // Escape: there is no cancel button
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE: // the title bar's close button, or Close on the system menu
        EndDialog(box, 0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void Show(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FORM2), owner, DialogProc, 0);
}

} // namespace Form2
