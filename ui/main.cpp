#include "form1.h"

#include <QApplication>
#include <QtGlobal>
#include <cstdio>

int main(int argc, char* argv[]) {
    // Without a display Qt can only fail with a platform-plugin error; say
    // instead what to use on such a machine.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("korvane: no display found; to check a settings file on a machine without "
                   "one, use korvane-check FILE\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));

    Form1 form;
    form.show();
    return app.exec();
}
