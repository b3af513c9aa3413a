// Kestrel: tethered shooting over the camera SDKs.
#include "app/CMainApp.h"
#include "app/QuitOnSignal.h"
#include "resources/Resources.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setDesktopFileName(QStringLiteral("kestrel"));
    kestrelInitResources();

    QuitOnSignal quitOnSignal;   // Ctrl+C or a session ending still saves config.cfg
    CMainApp app;
    if (!app.InitInstance())
        return 1;
    return QApplication::exec();
}
