// The property ids and the class of the accessibility annotations, defined
// here rather than looked for in a library.
#include <initguid.h>

#include "rich_edit_pane.h"

#include "report_colours.h"
#include "resource.h"
#include "wide.h"
#include "window_text.h"

#include <algorithm>
#include <climits>
#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

namespace {

// The report colour as shown on the system's window colour now.
COLORREF shown(korvane::ReportColour colour) {
    return korvane::window::shownOn(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT),
                                    colour);
}

} // namespace

void RichEditPane::create(HWND parent) {
    // The library registers the class; it stays loaded for the program's life.
    LoadLibraryW(L"Msftedit.dll");
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    // ES_NOOLEDRAGDROP: files dropped on the pane go to the window, which
    // checks them, instead of into the text.
    hwnd_ =
        CreateWindowExW(0, MSFTEDIT_CLASS, L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                            ES_AUTOVSCROLL | ES_NOOLEDRAGDROP,
                        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(IDC_TEXT1), instance, nullptr);
    // The default limit is 32,767 characters; a report has no limit of its own.
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, INT_MAX - 1);
    SetWindowSubclass(hwnd_, PaneProc, 1, reinterpret_cast<DWORD_PTR>(this));

    // One tool, the pane, whose text is asked for each time it shows.
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, instance, nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.hinst = instance;
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // Several lines: one per key.
    SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 640);
    SendMessageW(tip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
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
    insertion_ = colour;
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    if (colour == korvane::kBlack)
        format.dwEffects = CFE_AUTOCOLOR; // GetSysColor(COLOR_WINDOWTEXT), as it changes
    else
        format.crTextColor = shown(colour); // 0x00BBGGRR is a COLORREF
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void RichEditPane::insertAtCaret(std::string_view text) {
    const std::wstring wide = korvane::win32::fromUtf8(text);
    CHARRANGE at{};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&at));
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    // The control's characters: CR LF is one, as a lone CR or LF is.
    LONG position = at.cpMin;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        ++position;
        if (wide[i] == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n')
            ++i;
        if (wide[i] == L'\r' || wide[i] == L'\n')
            lineStarts_.push_back(position);
    }
    if (insertion_ != korvane::kBlack && position > at.cpMin)
        coloured_.push_back({at.cpMin, position, insertion_});
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
    lineStarts_.assign(1, 0);
    coloured_.clear();
    // An emptied control may insert next in its own first font (bold System
    // under Wine), whatever the default is now.
    if (font_.cbSize)
        SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&font_));
    // An emptied control keeps the format at the old caret, which could be
    // a red finding the user had clicked into.
    setInsertionColour(korvane::kBlack);
}

void RichEditPane::recolour() {
    CHARRANGE kept{};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    for (const Run& run : coloured_) {
        CHARRANGE range{run.start, run.end};
        SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        format.crTextColor = shown(run.colour);
        SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }
    SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    setInsertionColour(insertion_);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

std::size_t RichEditPane::lineOf(LONG position) const {
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), position);
    return static_cast<std::size_t>(after - lineStarts_.begin()) - 1;
}

std::size_t RichEditPane::lineAt(POINT client) const {
    POINTL point{client.x, client.y};
    const auto position =
        static_cast<LONG>(SendMessageW(hwnd_, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point)));
    return lineOf(position);
}

std::size_t RichEditPane::caretLine() const {
    CHARRANGE at{};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&at));
    return lineOf(at.cpMax);
}

void RichEditPane::explain(std::size_t line) const {
    const std::wstring text = explanationOf ? explanationOf(line) : std::wstring();
    if (text.empty())
        return;
    MessageBoxW(GetParent(hwnd_), text.c_str(), L"Explain", MB_OK | MB_ICONINFORMATION);
}

void RichEditPane::describeCaretLine() {
    std::wstring text = explanationOf ? explanationOf(caretLine()) : std::wstring();
    if (text == described_)
        return;
    if (!accessibleTried_) {
        accessibleTried_ = true;
        if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAccPropServices, reinterpret_cast<void**>(&accessible_))))
            accessible_ = nullptr; // no annotations here: the Explain box stays
    }
    if (!accessible_)
        return;
    described_ = std::move(text);
    if (described_.empty()) {
        accessible_->ClearHwndProps(hwnd_, OBJID_CLIENT, CHILDID_SELF, &PROPID_ACC_DESCRIPTION, 1);
    } else {
        accessible_->SetHwndPropStr(hwnd_, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                                    described_.c_str());
    }
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

void RichEditPane::forgetDescription() {
    if (!accessible_)
        return;
    accessible_->ClearHwndProps(hwnd_, OBJID_CLIENT, CHILDID_SELF, &PROPID_ACC_DESCRIPTION, 1);
    accessible_->Release();
    accessible_ = nullptr;
}

void RichEditPane::showContextMenu(LPARAM where) {
    POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    std::size_t line;
    if (at.x == -1 && at.y == -1) { // from the keyboard: at the caret
        line = caretLine();
        CHARRANGE range{};
        SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        const LRESULT corner = SendMessageW(hwnd_, EM_POSFROMCHAR, range.cpMax, 0);
        at = {GET_X_LPARAM(corner), GET_Y_LPARAM(corner)};
        ClientToScreen(hwnd_, &at);
    } else {
        POINT client = at;
        ScreenToClient(hwnd_, &client);
        line = lineAt(client);
    }
    const HMENU menus = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TEXT1));
    const HMENU menu = GetSubMenu(menus, 0);
    CHARRANGE selected{};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selected));
    const bool explained = explanationOf && !explanationOf(line).empty();
    EnableMenuItem(menu, IDM_COPY,
                   MF_BYCOMMAND | (selected.cpMin == selected.cpMax ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, IDM_EXPLAIN, MF_BYCOMMAND | (explained ? MF_ENABLED : MF_GRAYED));
    const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                       GetParent(hwnd_), nullptr);
    DestroyMenu(menus);
    switch (chosen) {
    case IDM_COPY:
        SendMessageW(hwnd_, WM_COPY, 0, 0);
        break;
    case IDM_SELECTALL:
        SendMessageW(hwnd_, EM_SETSEL, 0, -1);
        break;
    case IDM_EXPLAIN:
        explain(line);
        break;
    }
}

LRESULT CALLBACK RichEditPane::PaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self) {
    auto& pane = *reinterpret_cast<RichEditPane*>(self);
    switch (message) {
    case WM_MOUSEMOVE:
        // Over another line the tooltip starts again, with that line's text.
        if (const std::size_t line = pane.lineAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            line != pane.tipLine_) {
            pane.tipLine_ = line;
            SendMessageW(pane.tip_, TTM_ACTIVATE, FALSE, 0);
            SendMessageW(pane.tip_, TTM_ACTIVATE, TRUE, 0);
        }
        break;
    case WM_NOTIFY:
        if (auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            info->hdr.hwndFrom == pane.tip_ && info->hdr.code == TTN_GETDISPINFOW) {
            pane.tipText_ = pane.explanationOf && pane.tipLine_ != SIZE_MAX
                                ? pane.explanationOf(pane.tipLine_)
                                : std::wstring();
            info->lpszText = pane.tipText_.data();
            return 0;
        }
        break;
    case WM_RBUTTONUP: {
        // The menu here, not from the control's own handling of the click.
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &at);
        pane.showContextMenu(MAKELPARAM(at.x, at.y));
        return 0;
    }
    case WM_CONTEXTMENU: // Shift+F10 or the menu key
        pane.showContextMenu(lParam);
        return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONUP: {
        // The caret moves in the control's own handling: described after it.
        const LRESULT handled = DefSubclassProc(hwnd, message, wParam, lParam);
        pane.describeCaretLine();
        return handled;
    }
    case WM_NCDESTROY:
        pane.forgetDescription();
        RemoveWindowSubclass(hwnd, PaneProc, 1);
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
