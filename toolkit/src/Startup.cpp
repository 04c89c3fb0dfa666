// The toolkit's start-up code: sets up Qt, then hands over to the program's entry.

#include "toolkit/Application.h"

#include <QApplication>

namespace {
void DiscardMessage(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

int main(int, char **argv)
{
    // The program keeps no log and takes nothing from outside: Qt's diagnostics are dropped, and
    // Qt sees no command-line argument but the program's name.
    qInstallMessageHandler(DiscardMessage);
    int argumentCount = 1;
    char *arguments[] = {argv[0], nullptr};
    QApplication qt(argumentCount, arguments);
    QGuiApplication::setDesktopFileName(QGuiApplication::applicationName()); // the launcher's name

    TApplication application; // forms go before Qt does
    Application = &application;
    const int exitCode = ProgramEntry();
    Application = nullptr;
    return exitCode;
}
