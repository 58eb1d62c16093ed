#include "form1.h"
#include "settings_file.h"
#include "start_up.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Settings files are mapped, not copied: a file that shrinks meanwhile
    // must then not end the program.
    korvane::guardMappedFiles();
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
