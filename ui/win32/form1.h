#pragma once

#include "check_result.h"
#include "folder_watch.h"
#include "rich_edit_pane.h"
#include "watch_plan.h"

#include <commdlg.h>
#include <optional>
#include <string>
#include <windows.h>

// The main window: a menu bar over the report pane Text1, which covers the
// whole client area in the normal and the maximised state.
//
// One window procedure with one switch on the message; each command has its
// handler, named as the menu item it answers. The object lives as long as
// the window and is reached through the window's user data.
class Form1 {
public:
    Form1() = default;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window at its size for the screen's DPI, hidden.
    bool create(HINSTANCE instance);
    HWND hwnd() const { return hwnd_; }

    // Empties the pane and checks the file at `path`, taken as it is; a path
    // that cannot be checked gives one red line that says why. A failure
    // the check did not expect ends it with one red line that says so, after
    // the lines written so far. From then on the caption names the file, F5
    // checks it again, and so does any change on disk that could change its
    // result (watch_plan.h).
    void checkFile(const std::wstring& path);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    void Form_Load(HWND hwnd);
    void Form_Resize(WPARAM state, int width, int height);
    void Form_DpiChanged(UINT dpi, const RECT& suggested);
    void Form_DragDrop(HDROP drop);
    void Form_Unload();
    // File, Check...: choose a file, then check it.
    void mnufilechk_Click();
    // File, Check Again: the shown file once more.
    void mnufileagain_Click();
    // File, Exit: closes the window, which ends the program.
    void mnufilexit_Click();
    // About...: the About box, modal over this window.
    void mnuabt_Click();
    // Explain (Ctrl+E): the finding at the caret explained in a box.
    void mnuexplain_Click();
    // A watched folder changed: the pause starts again.
    void FolderChanged();
    // The pause after the last change: checks again when the plan says
    // something that matters changed.
    void Timer1_Timer();

    void setFont(UINT dpi);

    HWND hwnd_ = nullptr;
    RichEditPane Text1;
    // Kept for the window's life: its file name lasts from one use to the next.
    OPENFILENAMEW CommonDialog1{};
    std::wstring dialogFile_ = std::wstring(32768, L'\0');

    std::wstring shownFile_; // empty until a file is checked
    // The last check's result, while its report is the one shown whole.
    std::optional<korvane::CheckResult> checked_;
    korvane::window::WatchPlan plan_;
    FolderWatch watch_;
    // A command holds a modal dialog open: no re-check runs under it.
    bool inCommand_ = false;
};
