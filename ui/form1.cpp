#include "form1.h"

#include "file_names.h"
#include "form2.h"
#include "module1.h"
#include "report_text_edit.h"
#include "twips.h"
#include "window_text.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QTimer>
#include <QUrl>
#include <exception>

namespace {

// The first local file among dropped ones, or nothing.
QString droppedFile(const QMimeData* data) {
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return {};
}

// Qt's file dialog writes its history, folder and view to the user's
// QtProject settings when it is destroyed, and reads them back when it is
// made. Nothing of Korvane's outlives it: those settings go to a folder that
// cannot exist, and the dialog remembers only for the window's life.
void keepDialogSettingsNowhere() {
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
}

QString fromBytes(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// The caption for `path` (window_text.h).
QString captionOf(const QString& path) {
    QString caption = fromBytes(korvane::window::caption(QFile::encodeName(path).toStdString(),
                                                         korvane::window::Separators::Slash));
    // "[*]" in a caption stands for the modified mark; "[*][*]" shows "[*]".
    return caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace

Form1::Form1(QWidget* parent)
    : QMainWindow(parent), Text1(new ReportTextEdit(this)), watcher(new QFileSystemWatcher(this)),
      recheck(new QTimer(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(tr("Korvane"));
    // Form2 and the file dialog show the same icon: a window without an
    // icon of its own takes its owner's.
    setWindowIcon(QIcon(QStringLiteral(":/korvane.xpm")));

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAcceptDrops(false); // dropped files are the window's
    setCentralWidget(Text1);
    setAcceptDrops(true);

    createMenus();

    recheck->setSingleShot(true);
    recheck->setInterval(korvane::window::kPauseMilliseconds);
    connect(recheck, &QTimer::timeout, this, &Form1::watchedPathsChanged);
    connect(watcher, &QFileSystemWatcher::fileChanged, recheck, qOverload<>(&QTimer::start));
    connect(watcher, &QFileSystemWatcher::directoryChanged, recheck, qOverload<>(&QTimer::start));

    Text1->explanationOf = [this](int line) {
        return checked && line >= 0
                   ? QString::fromUtf8(korvane::window::explanationOfLine(*checked, std::size_t(line)))
                   : QString();
    };

    const QSize client = korvane::twips::toPixels(korvane::window::kMainClient, *this).size();
    resize(client.width(), client.height() + menuBar()->heightForWidth(client.width()));
    // No minimum of the window's own: without this its layout would keep
    // the menu bar's and the pane's.
    setMinimumSize(1, 1);
}

Form1::~Form1() {
    if (korvane::Module1::GetReportPane() == Text1)
        korvane::Module1::SetReportPane(nullptr);
}

void Form1::createMenus() {
    mnufile = menuBar()->addMenu(tr("&File"));
    mnufile->setObjectName(QStringLiteral("mnufile"));

    mnufilechk = mnufile->addAction(tr("&Check..."));
    mnufilechk->setObjectName(QStringLiteral("mnufilechk"));
    mnufilechk->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(mnufilechk, &QAction::triggered, this, &Form1::mnufilechk_Click);

    // Disabled until a file was checked: before, there is nothing to check again.
    mnufileagain = mnufile->addAction(tr("Check &Again"));
    mnufileagain->setObjectName(QStringLiteral("mnufileagain"));
    mnufileagain->setShortcut(QKeySequence(Qt::Key_F5));
    mnufileagain->setEnabled(false);
    connect(mnufileagain, &QAction::triggered, this, &Form1::mnufileagain_Click);

    mnufilesep = mnufile->addSeparator();
    mnufilesep->setObjectName(QStringLiteral("mnufilesep"));

    mnufilexit = mnufile->addAction(tr("E&xit"));
    mnufilexit->setObjectName(QStringLiteral("mnufilexit"));
    // Given explicitly: QKeySequence::Quit is empty on some platforms.
    mnufilexit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(mnufilexit, &QAction::triggered, this, &Form1::mnufilexit_Click);

    // A command on the menu bar itself: it has no menu, so choosing it
    // (by mouse or Alt+A) runs it at once.
    mnuabt = menuBar()->addAction(tr("&About..."));
    mnuabt->setObjectName(QStringLiteral("mnuabt"));
    connect(mnuabt, &QAction::triggered, this, &Form1::mnuabt_Click);

    // On no menu of the bar: the report pane's context menu has it, for
    // the line clicked on; this is its shortcut, for the line at the caret.
    mnuexplain = new QAction(tr("&Explain"), this);
    mnuexplain->setObjectName(QStringLiteral("mnuexplain"));
    mnuexplain->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(mnuexplain, &QAction::triggered, this, &Form1::mnuexplain_Click);

    // The shortcuts work wherever the focus is in this window, also where
    // the menu bar is a native one that Qt does not own.
    for (QAction* action : {mnufilechk, mnufileagain, mnufilexit, mnuexplain}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void Form1::checkFile(const QString& path) {
    recheck->stop();
    checkedPath = path;
    setWindowTitle(captionOf(path));
    mnufileagain->setEnabled(true);
    checked.reset();
    // The path's bytes as the file system names them, whatever they are.
    const std::string file = QFile::encodeName(path).toStdString();
    // A failure anywhere in the run ends it with a line that says so; the
    // lines already written stay and the window stays usable.
    std::optional<std::string> stopped;
    try {
        korvane::Module1::ConfigFile = file;
        korvane::Module1::SetReportPane(Text1);
        Text1->clear();
        korvane::Module1::CheckSettings();
        checked = korvane::Module1::LastResult();
    } catch (const std::exception& error) {
        stopped = korvane::window::stoppedLine(file, error.what());
    } catch (...) {
        stopped = korvane::window::stoppedLine(file, std::nullopt);
    }
    if (stopped) {
        try {
            korvane::Module1::SetReportPane(Text1);
            korvane::Module1::AddReportLine(*stopped, korvane::kRed);
        } catch (...) {
            Text1->append(QString::fromUtf8(*stopped)); // in the pane, whatever failed
        }
    }
    Text1->describeCaretLine();
    plan = checked ? korvane::window::WatchPlan(file, *checked)
                   : korvane::window::WatchPlan(file, korvane::CheckResult{});
    watchCheckedFiles();
}

void Form1::watchCheckedFiles() {
    QStringList files, folders;
    for (const std::string& name : plan.files())
        if (QFileInfo::exists(fromBytes(name)))
            files << fromBytes(name);
    for (const std::string& name : plan.folders())
        folders << fromBytes(name);
    if (!watcher->files().isEmpty())
        watcher->removePaths(watcher->files());
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    if (!files.isEmpty())
        watcher->addPaths(files);
    if (!folders.isEmpty())
        watcher->addPaths(folders);
}

void Form1::watchedPathsChanged() {
    if (checkedPath.isEmpty())
        return;
    if (plan.changed()) {
        checkFile(checkedPath);
        return;
    }
    // Nothing that matters changed; a file renamed over, with the same
    // size and time, is watched again.
    watchCheckedFiles();
}

void Form1::mnuexplain_Click() {
    Text1->explain(Text1->textCursor().blockNumber());
}

QFileDialog* Form1::dialog() {
    if (CommonDialog1)
        return CommonDialog1;
    keepDialogSettingsNowhere();
    CommonDialog1 = new QFileDialog(this);
    CommonDialog1->setObjectName(QStringLiteral("CommonDialog1"));
    // Qt's own dialog: the same on every desktop, and never blocks a test.
    CommonDialog1->setOption(QFileDialog::DontUseNativeDialog);
    CommonDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    CommonDialog1->setFileMode(QFileDialog::ExistingFile);
    // The list shows the descriptions alone. The first lists the newer
    // servers' .conf files too; "All files" has to match every name: "*.*"
    // would hide the files whose names have no dot.
    CommonDialog1->setOption(QFileDialog::HideNameFilterDetails);
    CommonDialog1->setNameFilters(
        {tr("SS Configuration Files (*.cfg *.conf)"), tr("All files (*)")});
    return CommonDialog1;
}

void Form1::mnufilechk_Click() {
    // The command's error trap, as checkFile has its own: nothing that fails
    // here shows a message.
    try {
        const int result = dialog()->exec();
        // Enter pressed in the dialog's name completion list accepts the
        // dialog but can leave the list open over this window, where it
        // would swallow the next key.
        if (QWidget* completions = QApplication::activePopupWidget())
            completions->close();
        // A cancelled dialog may still remember an earlier choice: only an
        // accepted one starts a check.
        if (result != QDialog::Accepted)
            return;
        const QStringList chosen = CommonDialog1->selectedFiles();
        if (!chosen.isEmpty() && !chosen.constFirst().isEmpty())
            checkFile(chosen.constFirst());
    } catch (...) {
    }
}

void Form1::mnufileagain_Click() {
    if (!checkedPath.isEmpty())
        checkFile(checkedPath);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    checkFile(file);
}

void Form1::mnufilexit_Click() {
    close();
}

void Form1::mnuabt_Click() {
    Form2 box(this);
    box.exec();
}
