#include "form1.h"

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
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
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

} // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent), Text1(new ReportTextEdit(this)) {
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
    for (QAction* action : {mnufilechk, mnufilexit}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void Form1::checkFile(const QString& path) {
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
