// Time from the start of main to the first paint of the main window, in
// microseconds, printed once. Built twice: as Korvane's start (the command
// line read, the display opened, Form1 shown) and as a bare QMainWindow
// with a menu bar and a QTextEdit, the least a window like it can cost.
// bench/window_start.sh runs both in turn under a virtual X server.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QTextEdit>
#include <cstdio>
#include <memory>

#ifdef KORVANE_WINDOW
#include "form1.h"
#include "start_up.h"
#endif

namespace {

// Prints the time at the window's first paint and ends the program.
class FirstPaint : public QObject {
public:
    FirstPaint(const QElapsedTimer& since, QWidget* window) : since_(since), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && !done_) {
            done_ = true;
            std::printf("%lld\n", static_cast<long long>(since_.nsecsElapsed() / 1000));
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    const QElapsedTimer& since_;
    QWidget* window_;
    bool done_ = false;
};

} // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer since;
    since.start();
#ifdef KORVANE_WINDOW
    const startup::Request request = startup::readCommandLine(argc, argv);
    const auto app = startup::openDisplay(argc, argv);
    Form1 window;
#else
    const auto app = std::make_unique<QApplication>(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Check..."));
    window.menuBar()->addAction(QStringLiteral("&About..."));
    window.setCentralWidget(new QTextEdit);
    window.resize(522, 280);
#endif
    FirstPaint watch(since, &window);
    window.installEventFilter(&watch);
    window.show();
    return app->exec();
}
