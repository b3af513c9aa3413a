// The layout overlay in the window's pieces: a PNG read, placed and blended over a frame to the
// exact pixel, drawn under the clipped-pixel mark, kept in view.cfg; and the command after each
// picture run by a real capture, its report in the console, a command that does not split
// refused.
#include "support/PaneTestSupport.h"

#include "capture/CPictureControl.h"
#include "capture/LiveOverlay.h"
#include "capture/PictureCommandLink.h"
#include "capture/ViewOptions.h"

#include <QtTest>

using namespace testsupport;

namespace {

// 40 x 20 (2:1): the left half opaque red, the right half green at alpha 128.
QString writeLayout(const QTemporaryDir& dir) {
    QImage image(40, 20, QImage::Format_ARGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) image.setPixel(x, y, x < 20 ? 0xffff0000u : 0x8000ff00u);
    const QString path = dir.filePath(QStringLiteral("layout.png"));
    image.save(path, "PNG");
    return path;
}

}   // namespace

class TestOverlayCommand : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetSimulators(WorldOf({sim::fullCamera("Cd One")}), WorldOf({})); }

    void overlayBlendsToTheReference() {
        QTemporaryDir dir;
        LiveOverlay overlay;
        QSignalSpy changed(&overlay, &LiveOverlay::changed);
        ViewOptions options;
        options.overlaySource = ViewOptions::OverlaySource::File;
        options.overlayFile = writeLayout(dir);
        options.overlayOpacity = 50;
        options.overlayOffsetX = 25;   // 20 of 80 pixels to the right
        overlay.setOptions(options);
        QVERIFY(changed.wait(5000));
        QVERIFY(overlay.active());

        // Fitted into 80 x 60: 80 x 40 at y 10, then moved right by 20.
        LiveOverlay::Layer layer;
        QVERIFY(overlay.Prepare(QSize(80, 60), layer));
        QImage frame(80, 60, QImage::Format_RGB32), composed;
        frame.fill(0xff6496c8u);
        LiveOverlay::Compose(frame, layer.image, composed);
        const QRgb grey = 0xff6496c8u;
        QCOMPARE(composed.pixel(10, 30), grey);          // left of the moved picture
        QCOMPARE(composed.pixel(40, 5), grey);           // above it
        QCOMPARE(composed.pixel(40, 30), 0xffb24b64u);   // red half at 50 %
        QCOMPARE(composed.pixel(70, 30), 0xff4bb096u);   // green half: 128 * 50 % = 64
        // The same layer is kept while nothing changes; fill covers the view.
        const quint64 kept = layer.generation;
        QVERIFY(overlay.Prepare(QSize(80, 60), layer));
        QCOMPARE(layer.generation, kept);
        options.overlayFill = true;
        options.overlayOffsetX = 0;
        overlay.setOptions(options);
        QVERIFY(overlay.Prepare(QSize(80, 60), layer));
        LiveOverlay::Compose(frame, layer.image, composed);
        QCOMPARE(composed.pixel(0, 0), 0xffb24b64u);   // 120 x 60, centred: red from x -20
        QCOMPARE(composed.pixel(79, 59), 0xff4bb096u);

        // Drawn under the clipped-pixel mark, which judges the picture's own pixels.
        CPictureControl control;
        control.resize(80, 60);
        QImage white(80, 60, QImage::Format_RGB32);
        white.fill(0xffffffffu);
        white.setPixel(5, 5, 0xff808080u);
        control.imageBuffer() = white;
        control.setHighlightClipped(true);
        control.setOverlay(&overlay);
        const QImage shown = control.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(40, 30), CPictureControl::kClippedColour);
        QCOMPARE(shown.pixel(5, 5), 0xffc04040u);   // grey 128 under red at 128: 128 + 64

        // A file that is not a picture: one console line, nothing drawn.
        QString logged;
        overlay.onLog = [&logged](const QString& line) { logged += line; };
        const QString text = dir.filePath(QStringLiteral("notes.png"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        options.overlayFile = text;
        overlay.setOptions(options);
        QVERIFY(changed.wait(5000));
        QVERIFY(!overlay.active());
        QCOMPARE(logged, "Overlay not shown: " + text + ": it is not a PNG or JPEG picture\r\n");
    }

    void overlayOptionsAreKept() {
        QTemporaryDir dir;
        ViewOptions options;
        options.focusPeaking = true;
        options.overlaySource = ViewOptions::OverlaySource::LastCapture;
        options.overlayFile = QStringLiteral("/layouts/cover = May.png");
        options.overlayOpacity = 35;
        options.overlayFill = true;
        options.overlayOffsetX = -12;
        options.overlayOffsetY = 100;
        options.overlayOnReview = true;
        const QString path = dir.filePath(QStringLiteral("view.cfg"));
        QString error;
        QVERIFY2(options.Save(path, error), qPrintable(error));
        QCOMPARE(ViewOptions::Load(path), options);
        // Out of range values keep the defaults.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("overlay=onion\noverlay_opacity=101\noverlay_offset_x=-101\noverlay_fit=x\n");
        file.close();
        QCOMPARE(ViewOptions::Load(path), ViewOptions{});
    }

    void commandRunsForEachCapture() {
        DocFixture fx;
        PictureCommandLink link(fx.doc.get());
        QCOMPARE(link.settingsPath(), fx.dir.filePath(QStringLiteral("command.cfg")));
        QString error;
        QVERIFY(!link.setSettings({"echo 'open", false, 5}, error));
        QCOMPARE(error, QStringLiteral("a single quote (') is not closed"));
        QVERIFY2(link.setSettings({"printf '%s %s\\n' {action} {number}", false, 5}, error),
                 qPrintable(error));
        QCOMPARE(hook::CommandSettings::Load(link.settingsPath().toStdString()).command,
                 std::string("printf '%s %s\\n' {action} {number}"));
        QSignalSpy saved(&link, &PictureCommandLink::pictureSaved);
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        QVERIFY(fx.doc->TakePicture());
        const std::string report =
            "Command output for Photo-0000.jpg:\r\ndownload 0000\r\n"
            "Command for Photo-0000.jpg ended: exit status 0\r\n";
        QTRY_VERIFY_WITH_TIMEOUT(fx.console.text().find(report) != std::string::npos, 10000);
        QTRY_COMPARE(saved.count(), 1);
        QCOMPARE(saved.at(0).at(0).toString(), fx.dir.filePath(QStringLiteral("Photo-0000.jpg")));
    }
};

QTEST_MAIN(TestOverlayCommand)
#include "OverlayCommandTest.moc"
