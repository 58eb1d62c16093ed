#include "form1.h"

#include "file_names.h"
#include "form2.h"
#include "module1.h"
#include "report_text_edit.h"
#include "twips.h"

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
#include <QSet>
#include <QSettings>
#include <QTimer>
#include <QUrl>

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

// The name a caption shows for `path`: its last part, quoted as reports
// quote names that hold control characters.
QString captionName(const QString& path) {
    std::string bytes = QFile::encodeName(path).toStdString();
    while (bytes.size() > 1 && bytes.back() == '/')
        bytes.pop_back();
    const std::size_t slash = bytes.rfind('/');
    if (slash != std::string::npos && slash + 1 < bytes.size())
        bytes.erase(0, slash + 1);
    QString name = QFile::decodeName(QByteArray::fromStdString(korvane::quotedName(bytes)));
    // "[*]" in a caption stands for the modified mark; "[*][*]" shows "[*]".
    return name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
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
    recheck->setInterval(200);
    connect(recheck, &QTimer::timeout, this, &Form1::mnufileagain_Click);
    connect(watcher, &QFileSystemWatcher::fileChanged, recheck, qOverload<>(&QTimer::start));
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &Form1::folderChanged);

    const QSize client = korvane::twips::toPixels(QSize(7824, 3912), *this);
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

    // The shortcuts work wherever the focus is in this window, also where
    // the menu bar is a native one that Qt does not own.
    for (QAction* action : {mnufilechk, mnufileagain, mnufilexit}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void Form1::checkFile(const QString& path) {
    recheck->stop();
    checkedPath = path;
    setWindowTitle(tr("%1 - Korvane").arg(captionName(path)));
    mnufileagain->setEnabled(true);
    // The check's error trap: a failure anywhere in the run ends it without
    // a message; the lines already written stay and the window stays usable.
    try {
        // The path's bytes as the file system names them, whatever they are.
        korvane::Module1::ConfigFile = QFile::encodeName(path).toStdString();
        korvane::Module1::SetReportPane(Text1);
        Text1->clear();
        korvane::Module1::CheckSettings();
    } catch (...) {
    }
    watchCheckedFiles();
}

void Form1::watchCheckedFiles() {
    // The first files read, the checked one first: each path added to or
    // removed from a QFileSystemWatcher costs time in proportion to those
    // it holds, and a hostile zone can include 100,000 files.
    constexpr qsizetype kMostWatched = 1000;
    QStringList files;
    for (const std::string& name : korvane::Module1::FilesRead()) {
        if (files.size() == kMostWatched)
            break;
        files << QFile::decodeName(QByteArray::fromStdString(name));
    }
    // A path that could not be checked is watched until it can be.
    if (files.isEmpty())
        files << checkedPath;
    checkedFiles.clear();
    QSet<QString> folders;
    for (const QString& file : std::as_const(files)) {
        const QFileInfo info(file);
        checkedFiles << info.absoluteFilePath();
        folders.insert(info.absolutePath());
    }
    if (!watcher->files().isEmpty())
        watcher->removePaths(watcher->files());
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    // Paths that do not exist (yet) are refused; their folders tell.
    watcher->addPaths(checkedFiles);
    watcher->addPaths(folders.values());
}

void Form1::folderChanged() {
    // Most changes in a folder are other files'; only a checked file that
    // is there again, unwatched, asks for a check.
    // A set: a zone's arena may include thousands of files.
    const QStringList paths = watcher->files() + watcher->directories();
    const QSet<QString> watched(paths.begin(), paths.end());
    for (const QString& file : std::as_const(checkedFiles)) {
        if (!watched.contains(file) && QFileInfo::exists(file)) {
            recheck->start();
            return;
        }
    }
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
