#pragma once

#include "check_result.h"
#include "watch_plan.h"

#include <QMainWindow>
#include <optional>

class QAction;
class QFileDialog;
class QFileSystemWatcher;
class QMenu;
class QTimer;
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

    // Empties the pane and checks the file at `path`, taken as it is; a path
    // that cannot be checked gets one line saying why. A failure the check
    // did not expect ends it with one red line that says so, after the
    // lines written so far. From then on the caption names the file, Check
    // Again checks it again, and so does any change on disk that could
    // change its result (watch_plan.h).
    void checkFile(const QString& path);

protected:
    // A file dropped on the window is checked (the first, of several).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createMenus();

    // File, Check...: choose a file, then check it.
    void mnufilechk_Click();
    // File, Check Again: the file shown, checked as it is now.
    void mnufileagain_Click();
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

    // Watches what the plan names: its files that exist, and its folders,
    // which tell of a file made, removed or renamed over (as editors save).
    void watchCheckedFiles();
    // After the pause: checks again when the plan says something changed.
    void watchedPathsChanged();
    // Explain (Ctrl+E): the finding at the caret explained in a box.
    void mnuexplain_Click();
    QString checkedPath; // the file shown, as it was given; empty before
    // The last check's result, while its report is the one shown whole.
    std::optional<korvane::CheckResult> checked;
    korvane::window::WatchPlan plan;
    QFileSystemWatcher* watcher;
    // A save is often several changes in a row: one look after the last.
    QTimer* recheck;

    QMenu* mnufile = nullptr;
    QAction* mnufilechk = nullptr;
    QAction* mnufileagain = nullptr;
    QAction* mnufilesep = nullptr;
    QAction* mnufilexit = nullptr;
    QAction* mnuabt = nullptr;
    QAction* mnuexplain = nullptr;
};
