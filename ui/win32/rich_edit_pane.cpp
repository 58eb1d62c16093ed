#include "rich_edit_pane.h"

#include "resource.h"
#include "wide.h"

#include <algorithm>
#include <climits>
#include <richedit.h>

void RichEditPane::create(HWND parent) {
    // The library registers the class; it stays loaded for the program's life.
    LoadLibraryW(L"Msftedit.dll");
    // ES_NOOLEDRAGDROP: files dropped on the pane go to the window, which
    // checks them, instead of into the text.
    hwnd_ = CreateWindowExW(0, MSFTEDIT_CLASS, L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                ES_AUTOVSCROLL | ES_NOOLEDRAGDROP,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(IDC_TEXT1),
                            reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                            nullptr);
    // The default limit is 32,767 characters; a report has no limit of its own.
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, INT_MAX - 1);
    clear();
}

void RichEditPane::setFont(const LOGFONTW& face, UINT dpi) {
    font_ = {};
    font_.cbSize = sizeof font_;
    font_.dwMask = CFM_FACE | CFM_SIZE | CFM_WEIGHT | CFM_BOLD | CFM_ITALIC | CFM_CHARSET;
    font_.yHeight = MulDiv(face.lfHeight < 0 ? -face.lfHeight : face.lfHeight, 1440,
                           static_cast<int>(dpi)); // twips
    font_.wWeight = static_cast<WORD>(face.lfWeight);
    font_.dwEffects = (face.lfWeight >= FW_BOLD ? CFE_BOLD : 0) | (face.lfItalic ? CFE_ITALIC : 0);
    font_.bCharSet = face.lfCharSet;
    lstrcpynW(font_.szFaceName, face.lfFaceName, LF_FACESIZE);
    for (const WPARAM where : {WPARAM(SCF_DEFAULT), WPARAM(SCF_ALL)})
        SendMessageW(hwnd_, EM_SETCHARFORMAT, where, reinterpret_cast<LPARAM>(&font_));
}

void RichEditPane::setInsertionColour(korvane::ReportColour colour) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    if (colour == korvane::kBlack)
        format.dwEffects = CFE_AUTOCOLOR; // GetSysColor(COLOR_WINDOWTEXT), as it changes
    else
        format.crTextColor = colour; // 0x00BBGGRR is a COLORREF
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void RichEditPane::insertAtCaret(std::string_view text) {
    const std::wstring wide = korvane::win32::fromUtf8(text);
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::size_t RichEditPane::textLength() const {
    GETTEXTLENGTHEX how{GTL_NUMCHARS | GTL_PRECISE, 1200}; // 1200: UTF-16
    const LRESULT length =
        SendMessageW(hwnd_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

void RichEditPane::setCaret(std::size_t position) {
    const LONG at = static_cast<LONG>(std::min<std::size_t>(position, LONG_MAX));
    CHARRANGE range{at, at};
    SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
}

void RichEditPane::clear() {
    SetWindowTextW(hwnd_, L"");
    // An emptied control may insert next in its own first font (bold System
    // under Wine), whatever the default is now.
    if (font_.cbSize)
        SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&font_));
    // An emptied control keeps the format at the old caret, which could be
    // a red finding the user had clicked into.
    setInsertionColour(korvane::kBlack);
}
