// Makes the README pictures: the main window connected to a simulated camera, live picture and
// histogram running, one photo taken, grabbed offscreen into the PNG named on the command line.
// With --stitch: the Stitch tab after a photo, the simulated scene turned 230 px so the strip of
// that photo stands beside the live picture with the overlap line under the buttons.
// With --review: three photos, the Review tab, the newest rated and shown large.
#include "support/E2eSupport.h"

#include "capture/CCapNormalDlg.h"
#include "capture/CCapStitchDlg.h"
#include "capture/CReviewPanel.h"

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {
void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}   // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrel_screenshot OUTPUT.png [--stitch|--review]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString output = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));
    const bool stitch = argc > 2 && std::string(argv[2]) == "--stitch";
    const bool review = argc > 2 && std::string(argv[2]) == "--review";
    testsupport::Window w(stitch ? 0
                                 : 30);   // stitch: frames pushed here, the scene turned at will
    if (!w.ok || !w.selectCamera(QStringLiteral("PowerShot G5"))) return 1;
    sim::Simulator::cd().setBattery("PowerShot G5", 5);   // five sixths charged
    w.cameraList()->OnConnect();
    if (stitch) {
        w.host()->tabs()->setCurrentIndex(CViewMain::StitchTab);
        sim::Simulator::cd().pushFrame();
        w.host()->stitchPanel()->captureButton()->click();
        // The scene drifts half a pixel a frame: 10 px short of continuing the strip.
        for (int i = 0; i < 2 * 230; ++i) sim::Simulator::cd().pushFrame();
    } else if (review) {
        for (int i = 0; i < 3; ++i) {
            w.host()->normalPanel()->captureButton()->click();
            pump(700);
        }
        w.host()->tabs()->setCurrentIndex(CViewMain::ReviewTab);
        pump(800);
        CReviewPanel* panel = w.host()->reviewPanel();
        panel->Rate(4);
        panel->ShowLarge();
    } else {
        w.host()->normalPanel()->captureButton()->click();
    }
    pump(1500);   // the histogram is recomputed once a second
    const bool saved = w.frame()->grab().save(output);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(output));
    return saved ? 0 : 1;
}
