// Makes the README picture: the main window connected to a simulated camera, live picture and
// histogram running, one photo taken, grabbed offscreen into the PNG named on the command line.
#include "E2eSupport.h"

#include "capture/CCapNormalDlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {
void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrel_screenshot OUTPUT.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString output = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));
    e2e::Window w(30);
    if (!w.ok || !w.selectCamera(QStringLiteral("PowerShot G5"))) return 1;
    sim::Simulator::cd().setBattery("PowerShot G5", 5);   // five sixths charged
    w.cameraList()->OnConnect();
    w.host()->normalPanel()->captureButton()->click();
    pump(1500);   // the histogram is recomputed once a second
    const bool saved = w.frame()->grab().save(output);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(output));
    return saved ? 0 : 1;
}
