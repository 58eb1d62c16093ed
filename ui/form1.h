#pragma once

#include <QMainWindow>

class QAction;
class QFileDialog;
class QMenu;
class ReportTextEdit;

// The main window: a menu bar over the report pane Text1.
//
// The resize rule (Form_Resize: while minimised nothing changes, otherwise
// the pane's width and height follow the client area) is what the main
// window's own layout does for its central widget, so Text1 is that widget:
// it covers exactly the client area under the menu bar in the normal and
// the maximised state.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

private:
    void createMenus();

    // File, Check...: choose a file, empty the pane, run the check.
    void mnufilechk_Click();
    // File, Exit: closes the window, which ends the program.
    void mnufilexit_Click();
    // About...: the About box, modal over this window.
    void mnuabt_Click();

    // Kept for the window's life, so it remembers its folder and filter.
    QFileDialog* CommonDialog1;
    ReportTextEdit* Text1;

    QMenu* mnufile = nullptr;
    QAction* mnufilechk = nullptr;
    QAction* mnufilesep = nullptr;
    QAction* mnufilexit = nullptr;
    QAction* mnuabt = nullptr;
};
