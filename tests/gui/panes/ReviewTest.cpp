// The Review tab over a real capture folder: pictures that appear are listed newest first and
// selected, a file with no picture says why, and the keys rate (sidecars on disk, both files of
// a RAW+JPEG pair), show the picture large with its colour histogram, step, zoom, return to the
// live view and move a pair with its sidecars to the trash.
#include "support/PaneTestSupport.h"

#include "capture/CPictureControl.h"
#include "capture/CReviewPanel.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "picture/Sidecar.h"
#include "sdk/sim/ImageFile.h"
#include "views/CViewInfo.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace testsupport;

namespace {

void writePicture(const QString& path, std::uint8_t shade) {
    std::vector<std::uint8_t> rgb(640 * 480 * 3, shade);
    const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), 640, 480, 90);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<qint64>(jpeg.size()));
}

QStringList names(const QListWidget* strip) {
    QStringList out;
    for (int i = 0; i < strip->count(); ++i) out << strip->item(i)->text().section('\n', 0, 0);
    return out;
}

}   // namespace

class TestReview : public QObject {
    Q_OBJECT
private slots:
    void keysRateShowStepAndTrash() {
        DocFixture fx;
        qputenv("XDG_DATA_HOME", QDir(fx.dir.path()).filePath(QStringLiteral("data")).toUtf8());
        const QDir dir(fx.dir.path());
        writePicture(dir.filePath(QStringLiteral("Photo-0001.jpg")), 40);
        writePicture(dir.filePath(QStringLiteral("Photo-0002.jpg")), 250);
        QFile raw(dir.filePath(QStringLiteral("Photo-0002.crw")));
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write("KESTREL-RAW but cut short");
        raw.close();

        CViewViewscreen screen(fx.doc.get());
        CViewInfo info(fx.doc.get());
        CViewMain host(fx.doc.get());
        host.resize(640, 400);
        host.show();
        host.tabs()->setCurrentIndex(CViewMain::ReviewTab);
        CReviewPanel* review = host.reviewPanel();
        QListWidget* strip = review->strip();

        // A capture arriving by other means: listed on top and selected within a second.
        writePicture(dir.filePath(QStringLiteral("Photo-0003.jpg")), 128);
        QTRY_COMPARE_WITH_TIMEOUT(
            names(strip),
            (QStringList{"Photo-0003.jpg", "Photo-0002.crw", "Photo-0002.jpg", "Photo-0001.jpg"}),
            1500);
        QCOMPARE(strip->currentRow(), 0);
        QTRY_VERIFY(strip->item(1)->text().contains(QStringLiteral("no preview in the file")));

        const auto sidecarRating = [&](const char* name) {
            return picture::ReadRating(dir.filePath(QString::fromLatin1(name)).toStdString());
        };
        struct Step {
            int row;   // selected before the key
            Qt::Key key;
            const char* picture;
            std::optional<int> rating;   // in its sidecar afterwards
            const char* shown;           // the second line of its strip text
        };
        const Step steps[] = {
            {0, Qt::Key_3, "Photo-0003.jpg", 3, "\u2605\u2605\u2605\u2606\u2606"},
            {0, Qt::Key_5, "Photo-0003.jpg", 5, "\u2605\u2605\u2605\u2605\u2605"},
            {2, Qt::Key_X, "Photo-0002.jpg", picture::kReject, "Rejected"},
            {2, Qt::Key_X, "Photo-0002.crw", picture::kReject, "Rejected"},   // the pair
            {0, Qt::Key_0, "Photo-0003.jpg", std::nullopt, ""},
        };
        for (const Step& s : steps) {
            strip->setCurrentRow(s.row);
            QTest::keyClick(strip, s.key);
            const int row = static_cast<int>(names(strip).indexOf(QString::fromLatin1(s.picture)));
            // Written on the worker, shown once written.
            QTRY_COMPARE(strip->item(row)->text().section('\n', 1), QString::fromUtf8(s.shown));
            QVERIFY2(sidecarRating(s.picture) == s.rating, s.picture);
        }
        QCOMPARE(review->status(), QString());

        // Enter: the picture large, its colour histogram in the Info pane.
        QSignalSpy shown(review, &CReviewPanel::pictureShown);
        strip->setCurrentRow(3);
        QTest::keyClick(strip, Qt::Key_Return);
        QVERIFY(shown.wait());
        QCOMPARE(shown.last().at(0).toString(), dir.filePath(QStringLiteral("Photo-0001.jpg")));
        QVERIFY(screen.showingPicture());
        QVERIFY(info.showingPictureHistogram());
        // Fitted: the dark picture fills the 4:3 control.
        const QImage& large = screen.picture(CViewViewscreen::LivePicture)->image();
        QVERIFY(qGray(large.pixel(large.width() / 2, large.height() / 2)) < 60);

        // Left steps to the newer picture, which is shown large in its turn.
        QTest::keyClick(strip, Qt::Key_Left);
        QVERIFY(shown.wait());
        QCOMPARE(shown.last().at(0).toString(), dir.filePath(QStringLiteral("Photo-0002.jpg")));
        QTRY_VERIFY(qGray(screen.picture(CViewViewscreen::LivePicture)
                              ->image()
                              .pixel(large.width() / 2, large.height() / 2)) > 200);
        QTest::keyClick(strip, Qt::Key_Z);
        QVERIFY(screen.actualSize());
        QTest::keyClick(strip, Qt::Key_Z);
        QVERIFY(!screen.actualSize());

        // Delete: the pair and both sidecars go to the trash, the next older picture is shown.
        QTest::keyClick(strip, Qt::Key_Delete);
        QVERIFY(shown.wait());
        QCOMPARE(shown.last().at(0).toString(), dir.filePath(QStringLiteral("Photo-0001.jpg")));
        QCOMPARE(names(strip), (QStringList{"Photo-0003.jpg", "Photo-0001.jpg"}));
        const QDir trash(QDir(fx.dir.path()).filePath(QStringLiteral("data/Trash/files")));
        for (const char* gone :
             {"Photo-0002.jpg", "Photo-0002.crw", "Photo-0002.jpg.xmp", "Photo-0002.crw.xmp"}) {
            QVERIFY2(!dir.exists(QString::fromLatin1(gone)), gone);
            QVERIFY2(trash.exists(QString::fromLatin1(gone)), gone);
        }

        // Esc: the live view and its histogram again.
        QTest::keyClick(strip, Qt::Key_Escape);
        QVERIFY(!screen.showingPicture());
        QVERIFY(!info.showingPictureHistogram());
    }
};

QTEST_MAIN(TestReview)
#include "ReviewTest.moc"
