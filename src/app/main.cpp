// Kestrel: tethered shooting over the camera SDKs.
#include "app/CMainApp.h"
#include "app/QuitOnSignal.h"
#include "app/BuildInfo.h"
#include "resources/Resources.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Answered before any window system is needed, so it works over ssh and in package checks.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Kestrel %s\n", KESTREL_VERSION);
            return 0;
        }
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setDesktopFileName(QStringLiteral("org.kestrel.Kestrel"));
    kestrelInitResources();

    QuitOnSignal quitOnSignal;   // Ctrl+C or a session ending still saves config.cfg
    CMainApp app;
    if (!app.InitInstance())
        return 1;
    return QApplication::exec();
}
