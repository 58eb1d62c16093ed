#include "test_support.h"

#include "form1.h"
#include "report_text_edit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <cstdio>

namespace uitest {

namespace {

const QStringList kShips = {"Warbird", "Javelin", "Spider",    "Leviathan",
                            "Terrier", "Weasel",  "Lancaster", "Shark"};

} // namespace

QString line(const char* colour, const QString& text) {
    return QLatin1String(colour) + QLatin1String(": ") + text;
}

QStringList cleanReport() {
    QStringList report = {line("black", "Checking settings...")};
    for (const QString& ship : kShips)
        report << line("blue", "Checking " + ship + "...") << line("blue", ship + " is OK")
               << line("black", "");
    return report << line("black", "This CFG file is OK.");
}

// Every key reads 0: five "is equal to Maximum" findings and both times.
QStringList noShipsReport() {
    QStringList report = {line("black", "Checking settings...")};
    for (const QString& ship : kShips) {
        report << line("blue", "Checking " + ship + "...");
        for (const char* base : {"Rotation", "Speed", "Thrust", "Recharge", "Energy"})
            report << line("red", QString("Initial%1 is equal to Maximum%1. [?status kickoff bug]")
                                      .arg(QLatin1String(base)));
        for (const char* key : {"SuperTime", "ShieldsTime"})
            report << line("red", QString("%1 is equal to 0. [Client crashes. Make it 1 instead "
                                          "of 0.]")
                                      .arg(QLatin1String(key)));
        report << line("blue", "Number of errors: 7.") << line("black", "");
    }
    return report << line("black", "Total errors: 56.");
}

QStringList report(const ReportTextEdit& pane) {
    QStringList result;
    const QStringList text = lines(pane);
    for (int i = 0; i < text.size(); ++i) {
        const QColor shown = colour(pane, i);
        const char* name = shown == Qt::red     ? "red"
                           : shown == Qt::blue  ? "blue"
                           : shown == Qt::black ? "black"
                                                : "other";
        result << line(name, text.at(i));
    }
    return result;
}

void overwrite(const QString& path, const QString& from) {
    QFile source(from), target(path);
    QVERIFY(source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly));
    target.write(source.readAll());
}

void saveByRename(const QString& path, const QString& from) {
    const QString saved = path + ".new";
    QVERIFY(QFile::copy(from, saved));
    QCOMPARE(::rename(QFile::encodeName(saved).constData(), QFile::encodeName(path).constData()), 0);
}

QString fixture(const QString& name) {
    return QStringLiteral(KORVANE_UI_FIXTURES "/") + name;
}

Form1* showForm(ReportTextEdit** pane) {
    auto* form = new Form1;
    *pane = form->findChild<ReportTextEdit*>("Text1");
    form->show();
    if (*pane && waitActive(form))
        return form;
    delete form;
    return nullptr;
}

bool waitActive(QWidget* window) {
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

QStringList lines(const ReportTextEdit& pane) {
    QStringList result = pane.toPlainText().split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.constLast().isEmpty())
        result.removeLast();
    return result;
}

QColor colour(const ReportTextEdit& pane, int line) {
    const QTextBlock block = pane.document()->findBlockByNumber(line);
    // An empty line's break is the separator that starts the next paragraph.
    const QTextCharFormat format = !block.begin().atEnd()   ? block.begin().fragment().charFormat()
                                   : block.next().isValid() ? block.next().charFormat()
                                                            : block.charFormat();
    if (!format.hasProperty(QTextFormat::ForegroundBrush))
        return pane.palette().color(QPalette::Text);
    return format.foreground().color();
}

ModalDriver::ModalDriver(std::function<void(QWidget*)> drive) : poll_(new QTimer(qApp)) {
    poll_->setInterval(10);
    QObject::connect(poll_, &QTimer::timeout, poll_, [this, drive] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll_->stop();
        poll_->deleteLater();
        ran_ = true;
        // Keys go where a user's would: to the active window.
        if (waitActive(modal))
            drive(modal);
        if (modal && modal->isVisible()) {
            leftOpen_ = true;
            modal->close();
        }
    });
    poll_->start();
}

ModalDriver::~ModalDriver() {
    delete poll_;
}

void typeIntoFileDialog(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, name);
    // Typing may open the name completion list, which then gets the keys.
    QWidget* completions = QApplication::activePopupWidget();
    QTest::keyClick(completions ? completions : edit, Qt::Key_Return);
}

QStringList listedNames(QFileDialog* dialog) {
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    QStringList names;
    for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
}

} // namespace uitest
