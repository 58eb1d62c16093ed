#pragma once

#include <QMainWindow>

class QAction;
class QFileDialog;
class QMenu;
class ReportTextEdit;

// The main window: a menu bar over the report pane Text1.
//
// Text1 is the central widget, so the main window's own layout keeps it
// covering exactly the client area under the menu bar in the normal and the
// maximised state, and leaves it as it is while the window is minimised.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Empties the pane and checks the file at `path`, taken as it is: a path
    // that leads to no settings gives the report of a file without any.
    // Any failure ends the check quietly; the lines written so far stay.
    void checkFile(const QString& path);

protected:
    // A file dropped on the window is checked (the first, of several).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createMenus();

    // File, Check...: choose a file, then check it.
    void mnufilechk_Click();
    // File, Exit: closes the window, which ends the program.
    void mnufilexit_Click();
    // About...: the About box, modal over this window.
    void mnuabt_Click();

    // Made on the first Check... (building it is most of what opening the
    // window would otherwise cost), then kept for the window's life, so it
    // remembers its folder and filter.
    QFileDialog* dialog();
    QFileDialog* CommonDialog1 = nullptr;
    ReportTextEdit* Text1;

    QMenu* mnufile = nullptr;
    QAction* mnufilechk = nullptr;
    QAction* mnufilesep = nullptr;
    QAction* mnufilexit = nullptr;
    QAction* mnuabt = nullptr;
};
