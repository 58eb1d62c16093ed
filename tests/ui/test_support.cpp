#include "test_support.h"

#include "report_text_edit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

namespace uitest {

QString fixture(const QString& name) {
    return QStringLiteral(KORVANE_UI_FIXTURES "/") + name;
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
