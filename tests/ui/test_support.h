#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class Form1;
class QFileDialog;
class QTimer;
class QWidget;
class ReportTextEdit;

// What the tests share: reading the report back from the real pane, and
// driving a modal dialog from inside the event loop that its exec() runs.
namespace uitest {

QString fixture(const QString& name);

// A new main window, shown and active, and its report pane in `pane`; none
// if it does not come up.
Form1* showForm(ReportTextEdit** pane);

// Waits until `window` is the active window, the one that gets the keys.
// (QTest::qWaitForWindowActive only waits for exposure on platforms that
// cannot tell, the offscreen one among them.)
[[nodiscard]] bool waitActive(QWidget* window);

// The pane's lines, without the empty paragraph after the final line break.
QStringList lines(const ReportTextEdit& pane);
// The colour of line `line`: that of its first character, or of its line
// break for an empty line; the pane's own text colour where none is set.
QColor colour(const ReportTextEdit& pane, int line);

// A report line as "colour: text"; the report of a file whose ships are all
// OK, and of one without ship sections; the pane's report in that form
// (colours named red, blue, black or other).
QString line(const char* colour, const QString& text);
QStringList cleanReport();
QStringList noShipsReport();
QStringList report(const ReportTextEdit& pane);

// A file rewritten in place, as a plain editor saves; and a new file
// renamed over the old one, as many editors save.
void overwrite(const QString& path, const QString& from);
void saveByRename(const QString& path, const QString& from);

// Runs `drive` on the next modal widget once it is up. Whatever `drive`
// leaves open is closed, so a failing test cannot hang in exec().
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> drive);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool ran() const { return ran_; }
    bool leftOpen() const { return leftOpen_; }

private:
    QPointer<QTimer> poll_;
    bool ran_ = false;
    bool leftOpen_ = false;
};

// As a user does in the open dialog: types `name` (a full path, a folder or
// a name in the folder shown) into its file name field and presses Enter.
void typeIntoFileDialog(QFileDialog* dialog, const QString& name);
// The names the dialog lists in the folder it shows.
QStringList listedNames(QFileDialog* dialog);

} // namespace uitest
