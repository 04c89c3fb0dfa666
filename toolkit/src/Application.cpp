#include "toolkit/Application.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>

TApplication *Application = nullptr;

namespace {
const char *const IconResource = ":/MAINICON";
}

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { DestroyComponents(); }

void TApplication::Initialize()
{
    // Only the main form's closing ends the loop; an error box closing must not.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QFile::exists(IconResource))
        QApplication::setWindowIcon(QIcon(IconResource));
}

void TApplication::Run()
{
    if (!MainForm)
        return;
    MainForm->Show();
    QApplication::exec();
}

void TApplication::ShowException(const Exception *E)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QString::fromStdString(E ? E->Message() : std::string()), QMessageBox::Ok);
    box.exec();
}
