// Kestrel: tethered shooting over the camera SDKs.
#include "app/CMainApp.h"
#include "app/CClientViewDlg.h"
#include "app/CMainFrame.h"
#include "app/CommandLine.h"
#include "app/QuitOnSignal.h"
#include "app/BuildInfo.h"
#include "resources/Resources.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char* argv[]) {
    // --help and --version need no display: answered before the application (and its window
    // system) starts, so they work over ssh and in package checks.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(ParseCommandLine({QStringLiteral("kestrel"), QStringLiteral("--help")})
                           .text.toLocal8Bit()
                           .constData(),
                       stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("Kestrel %s\n", KESTREL_VERSION);
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setDesktopFileName(QStringLiteral("org.kestrel.Kestrel"));
    kestrelInitResources();

    const CommandLine options = ParseCommandLine(QApplication::arguments());
    if (options.outcome != CommandLine::Outcome::Run) {
        const bool help = options.outcome == CommandLine::Outcome::Help;
        std::fputs(options.text.toLocal8Bit().constData(), help ? stdout : stderr);
        return help ? 0 : 2;
    }

    QuitOnSignal quitOnSignal;   // Ctrl+C or a session ending still saves config.cfg
    CMainApp app(options.cameras);
    if (!app.InitInstance()) return 1;
    if (!options.clientView.isEmpty())
        if (const QString why = app.mainFrame()->clientView()->Start(options.clientView);
            !why.isEmpty())
            std::fprintf(stderr, "Client view not started: %s\n", why.toLocal8Bit().constData());
    return QApplication::exec();
}
