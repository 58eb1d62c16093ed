#include "form1.h"
#include "start_up.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    const startup::Request request = startup::readCommandLine(argc, argv);
    if (request.exitWith)
        return *request.exitWith;
    const auto app = startup::openDisplay(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));

    Form1 form;
    form.show();
    if (!request.file.isEmpty())
        form.checkFile(request.file);
    return app->exec();
}
