#pragma once

#include "file_watch.h"
#include "rich_edit_pane.h"

#include <commdlg.h>
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
    // that cannot be checked gives one red line that says why. Any failure
    // ends the check quietly; the lines written so far stay. From then on
    // the caption names the file, F5 checks it again, and so does a change
    // to it on disk.
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
    // Every second: checks again when the shown file has changed.
    void Timer1_Timer();

    void setFont(UINT dpi);

    HWND hwnd_ = nullptr;
    RichEditPane Text1;
    // Kept for the window's life: its file name lasts from one use to the next.
    OPENFILENAMEW CommonDialog1{};
    std::wstring dialogFile_ = std::wstring(32768, L'\0');

    std::wstring shownFile_; // empty until a file is checked
    FileWatch watch_;
    // A command holds a modal dialog open: no re-check runs under it.
    bool inCommand_ = false;
};
