// The Review tab over a real capture folder: pictures that appear are listed newest first and
// selected, and the keys rate (sidecars on disk, both files of a RAW+JPEG pair), show the picture large with its colour histogram, step, zoom, return to the
// live view and move a pair with its sidecars to the trash. Planted files: a trash that cannot
// take a file, an unrelated RAW with an earlier JPEG's number, names that are not UTF-8, a fifo
// at a sidecar's name; none freezes the window or acts on a file the user did not choose.
#include "support/ReviewTestSupport.h"

#include "capture/CPictureControl.h"
#include "capture/CReviewPanel.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "picture/PictureList.h"
#include "picture/Sidecar.h"
#include "sdk/sim/ImageFile.h"
#include "views/CViewInfo.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

using namespace testsupport;

namespace {

// A JPEG of 640 x 480 with its EXIF thumbnail, by a name as the file system has it or as Qt does.
void writePicture(const std::string& path, std::uint8_t shade) {
    WriteShadedJpeg(path, shade, 640, 480);
}
void writePicture(const QString& path, std::uint8_t shade) {
    writePicture(QFile::encodeName(path).toStdString(), shade);
}

bool loaded(const QListWidgetItem* item) { return item->data(Qt::UserRole + 1).toBool(); }

// A Review panel alone over the fixture's folder, shown.
struct Panel : ReviewPanelFixture {
    QListWidget* show() { return ReviewPanelFixture::show(QSize(640, 300), /*alone=*/true); }
};

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

        // A capture arriving by other means: listed on top within a second and counted; the
        // selection stays where it was.
        QTRY_COMPARE(strip->count(), 2);   // the pair is one picture
        QCOMPARE(strip->currentRow(), 0);
        writePicture(dir.filePath(QStringLiteral("Photo-0003.jpg")), 128);
        QTRY_COMPARE_WITH_TIMEOUT(
            StripNames(strip), (QStringList{"Photo-0003.jpg", "Photo-0002.jpg", "Photo-0001.jpg"}),
            1500);
        QCOMPARE(strip->currentRow(), 1);
        QCOMPARE(review->arrived(), QStringLiteral("1 new picture"));

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
            {1, Qt::Key_X, "Photo-0002.jpg", picture::kReject, "Rejected"},
            {0, Qt::Key_0, "Photo-0003.jpg", std::nullopt, ""},
        };
        for (const Step& s : steps) {
            strip->setCurrentRow(s.row, QItemSelectionModel::ClearAndSelect);
            QTest::keyClick(strip, s.key);
            const int row =
                static_cast<int>(StripNames(strip).indexOf(QString::fromLatin1(s.picture)));
            // Written on the worker, shown once written.
            QTRY_COMPARE(strip->item(row)->text().section('\n', 1), QString::fromUtf8(s.shown));
            QVERIFY2(sidecarRating(s.picture) == s.rating, s.picture);
        }
        QCOMPARE(sidecarRating("Photo-0002.crw"),
                 std::optional<int>(picture::kReject));   // the pair
        QCOMPARE(review->status(), QString());
        QCOMPARE(review->arrived(), QString());   // the new one was stepped to

        // Enter: the picture large, its colour histogram in the Info pane.
        QSignalSpy shown(review, &CReviewPanel::pictureShown);
        strip->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);
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
        QCOMPARE(StripNames(strip), (QStringList{"Photo-0003.jpg", "Photo-0001.jpg"}));
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

    // The Review tab's keys work whatever has the focus in the window: after choosing in a list
    // elsewhere and switching to Review, after a click on the large picture; Space and
    // Ctrl+Shift+C release the shutter there and on the Time tab.
    void keysReachTheReviewWhateverHasTheFocus() {
        ResetSimulators(WorldOf({sim::fullCamera("Cd One")}), WorldOf({}));
        DocFixture fx;
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        const QDir dir(fx.dir.path());
        writePicture(dir.filePath(QStringLiteral("Photo-0001.jpg")), 40);
        writePicture(dir.filePath(QStringLiteral("Photo-0002.jpg")), 250);
        QWidget window;
        auto* screen = new CViewViewscreen(fx.doc.get(), &window);
        auto* info = new CViewInfo(fx.doc.get(), &window);
        auto* host = new CViewMain(fx.doc.get(), &window);
        auto* iso = new QComboBox(&window);   // a list of another pane, as the ISO one
        iso->addItems({"100", "200", "400"});
        screen->setGeometry(0, 0, 400, 300);
        info->setGeometry(400, 0, 200, 300);
        host->setGeometry(0, 300, 640, 300);
        iso->setGeometry(600, 0, 60, 20);
        window.resize(700, 620);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        CReviewPanel* review = host->reviewPanel();
        QListWidget* strip = review->strip();
        const auto rating = [&](const char* name) {
            return picture::ReadRating(dir.filePath(QString::fromLatin1(name)).toStdString());
        };

        iso->setFocus();
        host->tabs()->setCurrentIndex(CViewMain::ReviewTab);
        QTRY_COMPARE(strip->count(), 2);
        QCOMPARE(QApplication::focusWidget(), strip);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_4);
        QTRY_COMPARE(rating("Photo-0002.jpg"), std::optional<int>(4));
        iso->setFocus();   // a rating key never reaches another control
        QTest::keyClick(iso, Qt::Key_4);
        QCOMPARE(iso->currentText(), QStringLiteral("100"));

        // A click on the large picture zooms; the keys go on working.
        QSignalSpy shown(review, &CReviewPanel::pictureShown);
        strip->setFocus();
        QTest::keyClick(strip, Qt::Key_Return);
        QVERIFY(shown.wait());
        QWidget* large = screen->picture(CViewViewscreen::LivePicture);
        QTest::mouseClick(large, Qt::LeftButton, {}, large->rect().center());
        QVERIFY(screen->actualSize());
        // A capture leaves the zoomed review as it is and counts the arrival.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(strip->count(), 3);
        QVERIFY(screen->actualSize());
        QVERIFY(screen->showingPicture());
        QCOMPARE(QFileInfo(review->selectedPath()).fileName(), QStringLiteral("Photo-0002.jpg"));
        QCOMPARE(review->arrived(), QStringLiteral("1 new picture"));
        struct Key {
            Qt::Key key;
            const char* picture;
            std::optional<int> rating;
        };
        for (const Key& k :
             {Key{Qt::Key_Right, "Photo-0001.jpg", {}},
              Key{Qt::Key_X, "Photo-0001.jpg", picture::kReject},
              Key{Qt::Key_2, "Photo-0001.jpg", 2}, Key{Qt::Key_0, "Photo-0001.jpg", std::nullopt},
              Key{Qt::Key_Left, "Photo-0002.jpg", 4}}) {
            QTest::keyClick(QApplication::focusWidget(), k.key);
            QTRY_COMPARE(QFileInfo(review->selectedPath()).fileName(),
                         QString::fromLatin1(k.picture));
            QTRY_VERIFY2(rating(k.picture) == k.rating, k.picture);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!screen->showingPicture());

        // Space and Ctrl+Shift+C release the shutter, the focus in another pane's list.
        iso->setFocus();
        QTest::keyClick(iso, Qt::Key_Space);
        QTRY_VERIFY(dir.exists(QStringLiteral("Photo-0004.jpg")));
        QTest::keyClick(iso, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(dir.exists(QStringLiteral("Photo-0005.jpg")));
        QTRY_COMPARE(review->arrived(), QStringLiteral("3 new pictures"));
        host->tabs()->setCurrentIndex(CViewMain::TimeTab);
        iso->setFocus();
        QTest::keyClick(iso, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(dir.exists(QStringLiteral("Photo-0006.jpg")));
        QCOMPARE(iso->currentText(), QStringLiteral("100"));
    }

    // "Show Each New Picture" on: a capture from the Normal tab brings the Review tab up with
    // the new picture large and its histogram; off: a capture leaves the review as it is and
    // counts the arrival.
    void eachNewPictureIsShownLargeWhenAsked_data() {
        QTest::addColumn<bool>("on");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void eachNewPictureIsShownLargeWhenAsked() {
        QFETCH(bool, on);
        ResetSimulators(WorldOf({sim::fullCamera("Cd One")}), WorldOf({}));
        DocFixture fx;
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        const QDir dir(fx.dir.path());
        writePicture(dir.filePath(QStringLiteral("Photo-0001.jpg")), 40);
        CViewViewscreen screen(fx.doc.get());
        CViewInfo info(fx.doc.get());
        CViewMain host(fx.doc.get());
        host.resize(640, 400);
        host.show();
        CReviewPanel* review = host.reviewPanel();
        review->setShowNewPictures(on);
        QListWidget* strip = review->strip();
        host.tabs()->setCurrentIndex(CViewMain::ReviewTab);
        QTRY_COMPARE(strip->count(), 1);
        QSignalSpy shown(review, &CReviewPanel::pictureShown);
        QTest::keyClick(strip, Qt::Key_Return);
        QVERIFY(shown.wait());
        if (on) host.tabs()->setCurrentIndex(CViewMain::NormalTab);
        QVERIFY(!on || !screen.showingPicture());
        QVERIFY(fx.doc->TakePicture());
        const QString older = dir.filePath(QStringLiteral("Photo-0001.jpg"));
        const QString newest = dir.filePath(QStringLiteral("Photo-0002.jpg"));
        QTRY_COMPARE(strip->count(), 2);
        if (on) {
            QTRY_COMPARE(shown.last().at(0).toString(), newest);
            QCOMPARE(host.tabs()->currentIndex(), int(CViewMain::ReviewTab));
            QCOMPARE(review->selectedPath(), newest);
            QCOMPARE(review->arrived(), QString());
        } else {
            QCOMPARE(shown.last().at(0).toString(), older);
            QCOMPARE(review->selectedPath(), older);
            QCOMPARE(review->arrived(), QStringLiteral("1 new picture"));
        }
        QVERIFY(screen.showingPicture() && info.showingPictureHistogram());
        QTest::keyClick(strip, Qt::Key_Escape);
        QVERIFY(!screen.showingPicture() && !info.showingPictureHistogram());
    }

    // A picture removed by another program leaves its sidecar; the next picture with its
    // number shows no rating of the old one, while a sidecar written after its picture does.
    void aSidecarLeftByARemovedPictureLendsNoRating() {
        Panel p;
        const std::string old = p.folder + "Photo-0001.jpg", kept = p.folder + "Photo-0002.jpg";
        for (const std::string& picture : {old, kept}) {
            writePicture(picture, 90);
            QCOMPARE(picture::WriteRating({picture}, 5), std::string());
        }
        const std::time_t anHourAgo = std::time(nullptr) - 3600;
        const utimbuf times{anHourAgo, anHourAgo};
        for (const std::string& file :
             {kept, picture::SidecarPath(kept), old, picture::SidecarPath(old)})
            QCOMPARE(::utime(file.c_str(), &times), 0);
        QCOMPARE(::unlink(old.c_str()), 0);
        writePicture(old, 120);   // a new capture takes the number
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 2);
        QTRY_VERIFY(loaded(strip->item(0)) && loaded(strip->item(1)));
        QCOMPARE(strip->item(0)->text(),
                 QStringLiteral("Photo-0002.jpg\n\u2605\u2605\u2605\u2605\u2605"));
        QCOMPARE(strip->item(1)->text(), QStringLiteral("Photo-0001.jpg"));
    }

    // A picture that cannot be shown takes the place of the one before (no picture or histogram
    // of it stays up) and its line goes on moving on, on a capture and in another folder.
    void aPictureThatCannotBeShownLeavesNothingOfThePreviousUp() {
        Panel p;
        CViewViewscreen screen(p.fx.doc.get());
        CViewInfo info(p.fx.doc.get());
        writePicture(p.folder + "Photo-0001.jpg", 250);
        testsupport::WriteFile(p.folder + "Photo-0002.jpg", "not a JPEG");
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 2);
        QSignalSpy shown(p.review.get(), &CReviewPanel::pictureShown);
        const QString line = QStringLiteral("Photo-0002.jpg cannot be shown: ");
        const auto bright = [&] {
            const QImage& large = screen.picture(CViewViewscreen::LivePicture)->image();
            return qGray(large.pixel(large.width() / 2, large.height() / 2)) > 200;
        };
        for (int step = 0; step < 3; ++step) {
            strip->setCurrentRow(static_cast<int>(StripNames(strip).indexOf("Photo-0001.jpg")),
                                 QItemSelectionModel::ClearAndSelect);
            QTest::keyClick(strip, Qt::Key_Return);
            QVERIFY(shown.wait());
            QVERIFY(bright() && info.showingPictureHistogram());
            QTest::keyClick(strip, Qt::Key_Left);
            QTRY_VERIFY(p.review->status().startsWith(line));
            QVERIFY(!bright());
            QVERIFY(!info.showingPictureHistogram());
            if (step == 0) QTest::keyClick(strip, Qt::Key_Right);
            if (step == 1) writePicture(p.folder + "Photo-0003.jpg", 10);
            if (step == 2) {
                p.fx.doc->SetCaptureFolder(p.folder + "data/");
                p.review->Rescan();
            }
            QTRY_COMPARE(p.review->status(), QString());
            if (step == 1) QTRY_COMPARE(strip->count(), 3);
        }
    }

    // Portraits stand up: the thumbnail and the large picture turn as the EXIF orientation says.
    void theExifOrientationTurnsThumbnailAndLargePicture_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("portrait");
        QTest::addColumn<QPoint>("dark");   // where the stored left half ends up (-1, 0, 1)
        QTest::newRow("1 as stored") << 1 << false << QPoint(-1, 0);
        QTest::newRow("3 upside down") << 3 << false << QPoint(1, 0);
        QTest::newRow("6 a quarter clockwise") << 6 << true << QPoint(0, -1);
        QTest::newRow("8 a quarter anticlockwise") << 8 << true << QPoint(0, 1);
    }
    void theExifOrientationTurnsThumbnailAndLargePicture() {
        QFETCH(int, orientation);
        QFETCH(bool, portrait);
        QFETCH(QPoint, dark);
        Panel p;
        CViewViewscreen screen(p.fx.doc.get());
        std::vector<std::uint8_t> rgb(640 * 480 * 3, 230);
        for (int y = 0; y < 480; ++y) std::fill_n(&rgb[y * 640 * 3], 320 * 3, 20);
        std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), 640, 480, 90);
        // IFD0's first entry, the orientation, a little-endian short at byte 30.
        QVERIFY(jpeg[22] == 0x12 && jpeg[23] == 0x01);
        jpeg[30] = static_cast<std::uint8_t>(orientation);
        testsupport::WriteFile(p.folder + "Photo-0001.jpg", std::string(jpeg.begin(), jpeg.end()));
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 1);
        QTRY_VERIFY(loaded(strip->item(0)));
        const QSize icon = strip->item(0)->icon().availableSizes().value(0);
        QCOMPARE(icon.height() > icon.width(), portrait);
        QSignalSpy shown(p.review.get(), &CReviewPanel::pictureShown);
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_Return);
        QVERIFY(shown.wait());
        const QImage& large = screen.picture(CViewViewscreen::LivePicture)->image();
        const QPoint middle(large.width() / 2, large.height() / 2);
        const auto grey = [&](QPoint towards) {
            return qGray(large.pixel(middle + QPoint(towards.x() * large.width() / 5,
                                                     towards.y() * large.height() / 5)));
        };
        QVERIFY2(grey(dark) < 60 && grey(-dark) > 180, qPrintable(QString::number(grey(dark))));
    }

    // Delete says so on the console and Ctrl+Z takes it back, sidecar and all; the number of
    // a picture in the trash is not given to the next capture.
    void deleteIsUndoneAndItsNumberIsNotTakenMeanwhile() {
        Panel p;
        writePicture(p.folder + "Photo-0001.jpg", 90);
        writePicture(p.folder + "Photo-0002.jpg", 200);
        QCOMPARE(picture::WriteRating({p.folder + "Photo-0002.jpg"}, 3), std::string());
        QListWidget* strip = p.show();
        QVERIFY(QTest::qWaitForWindowActive(p.review.get()));
        QTRY_COMPARE(strip->count(), 2);
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_Delete);
        QTRY_COMPARE(StripNames(strip), QStringList{"Photo-0001.jpg"});
        QVERIFY(p.fx.console.text().find("Moved Photo-0002.jpg to the trash\r\n") !=
                std::string::npos);
        QCOMPARE(p.fx.doc->naming().Next(p.folder, "Photo", "jpg").path,
                 p.folder + "Photo-0003.jpg");
        QTest::keyClick(strip, Qt::Key_Z, Qt::ControlModifier);
        QTRY_COMPARE(StripNames(strip), (QStringList{"Photo-0002.jpg", "Photo-0001.jpg"}));
        QCOMPARE(strip->currentRow(), 0);
        QVERIFY(p.fx.console.text().find("Restored Photo-0002.jpg from the trash\r\n") !=
                std::string::npos);
        QCOMPARE(picture::ReadRating(p.folder + "Photo-0002.jpg"), std::optional<int>(3));
        for (const char* gone : {"/files/Photo-0002.jpg", "/files/Photo-0002.jpg.xmp",
                                 "/info/Photo-0002.jpg.trashinfo"})
            QVERIFY2(!testsupport::Exists(p.trash + gone), gone);
        QTest::keyClick(strip, Qt::Key_Z, Qt::ControlModifier);   // nothing more to undo
        QCOMPARE(p.review->status(), QString());
    }

    void deleteRefusedWhenTheTrashCannotTakeIt_data() {
        QTest::addColumn<int>("plant");
        QTest::addColumn<QString>("why");
        QTest::newRow("files is a file")
            << 0 << "the trash folder cannot be made: %1/files: Not a directory";
        QTest::newRow("info is a fifo")
            << 1 << "the trash folder cannot be made: %1/info: Not a directory";
        QTest::newRow("files not writable")
            << 2 << "the trash folder is not writable: %1/files: Permission denied";
    }
    void deleteRefusedWhenTheTrashCannotTakeIt() {
        QFETCH(int, plant);
        QFETCH(QString, why);
        if (plant == 2 && ::geteuid() == 0) QSKIP("root writes any folder");
        Panel p;
        writePicture(p.folder + "Photo-0001.jpg", 90);
        QVERIFY(QDir().mkpath(QString::fromStdString(p.trash)));
        if (plant == 0) testsupport::WriteFile(p.trash + "/files", "not a folder");
        if (plant == 1) {
            QVERIFY(QDir().mkpath(QString::fromStdString(p.trash + "/files")));
            QCOMPARE(::mkfifo((p.trash + "/info").c_str(), 0600), 0);
        }
        if (plant == 2) {
            for (const char* part : {"/files", "/info"})
                QVERIFY(QDir().mkpath(QString::fromStdString(p.trash + part)));
            QCOMPARE(::chmod((p.trash + "/files").c_str(), 0500), 0);
        }
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 1);
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_Delete);
        const QString line =
            QStringLiteral("Not moved to the trash: ") + why.arg(QString::fromStdString(p.trash));
        QTRY_COMPARE(p.review->status(), line);
        QVERIFY(p.fx.console.text().find(line.toStdString() + "\r\n") != std::string::npos);
        QVERIFY(testsupport::Exists(p.folder + "Photo-0001.jpg"));
        QCOMPARE(strip->count(), 1);
    }

    void anUnrelatedRawWithAnEarlierJpegsNumberIsRatedAndTrashedAlone() {
        Panel p;
        const std::string jpeg = p.folder + "Photo-0000.jpg", raw = p.folder + "Photo-0000.cr2";
        writePicture(jpeg, 90);
        testsupport::WriteFile(raw, "a RAW-only picture, taken an hour later");
        const std::time_t anHourAgo = std::time(nullptr) - 3600;
        const utimbuf times{anHourAgo, anHourAgo};
        QCOMPARE(::utime(jpeg.c_str(), &times), 0);
        QListWidget* strip = p.show();
        QTRY_COMPARE(StripNames(strip), (QStringList{"Photo-0000.cr2", "Photo-0000.jpg"}));
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_4);
        QTRY_COMPARE(strip->item(0)->text().section('\n', 1),
                     QStringLiteral("\u2605\u2605\u2605\u2605\u2606"));
        QCOMPARE(picture::ReadRating(raw), std::optional<int>(4));
        QVERIFY(!testsupport::Exists(picture::SidecarPath(jpeg)));
        QTest::keyClick(strip, Qt::Key_Delete);
        QTRY_COMPARE(StripNames(strip), QStringList{"Photo-0000.jpg"});
        QVERIFY(testsupport::Exists(jpeg));
        QVERIFY(testsupport::Exists(p.trash + "/files/Photo-0000.cr2"));
        QVERIFY(testsupport::Exists(p.trash + "/files/Photo-0000.cr2.xmp"));
        QVERIFY(!testsupport::Exists(p.trash + "/files/Photo-0000.jpg"));
    }

    void aNameAndFolderThatAreNotUtf8Work() {
        Panel p;
        const std::string folder = p.folder + "f\xfcr/", name = "Ph\xe9to";
        QCOMPARE(::mkdir(folder.c_str(), 0700), 0);
        const std::string picture = folder + name + "-0001.jpg";
        writePicture(picture, 200);
        p.fx.doc->SetCaptureFolder(folder);
        p.fx.doc->SetCaptureName(name);
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 1);
        QTRY_VERIFY(loaded(strip->item(0)));
        QCOMPARE(strip->item(0)->text(),
                 QFile::decodeName(QByteArray::fromStdString(name + "-0001.jpg")));
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_3);
        QTRY_VERIFY(strip->item(0)->text().contains(QStringLiteral("\u2605\u2605\u2605\u2606")));
        QVERIFY(testsupport::Exists(picture + ".xmp"));   // under the picture's own bytes
        QCOMPARE(picture::ReadRating(picture), std::optional<int>(3));
        QTest::keyClick(strip, Qt::Key_Delete);
        QTRY_COMPARE(strip->count(), 0);
        QCOMPARE(p.review->status(), QString());
        QVERIFY(!testsupport::Exists(picture));
        QVERIFY(testsupport::Exists(p.trash + "/files/" + name + "-0001.jpg"));
        const std::string info =
            testsupport::ReadFile(p.trash + "/info/" + name + "-0001.jpg.trashinfo");
        QVERIFY2(info.find("/f%FCr/Ph%E9to-0001.jpg\n") != std::string::npos, info.c_str());
    }

    void aFifoOrFolderAtASidecarsNameNeverFreezesTheWindow_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("fifo") << false;
        QTest::newRow("folder") << true;
    }
    void aFifoOrFolderAtASidecarsNameNeverFreezesTheWindow() {
        QFETCH(bool, folder);
        std::signal(SIGPIPE, SIG_IGN);   // the neighbour below closes on a writer
        Panel p;
        const std::string picture = p.folder + "Photo-0001.jpg";
        writePicture(picture, 90);
        const std::string sidecar = picture::SidecarPath(picture);
        QCOMPARE(folder ? ::mkdir(sidecar.c_str(), 0700) : ::mkfifo(sidecar.c_str(), 0600), 0);
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 1);
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_3);   // returns: the sidecar is the worker's
        bool turned = false;
        QTimer::singleShot(0, [&] { turned = true; });
        QTRY_VERIFY(turned);
        // A neighbour who opens the fifo now and then, so no reader or writer waits forever.
        std::atomic<bool> done{false};
        std::thread neighbour([&] {
            while (!done) {
                const int fd = ::open(sidecar.c_str(), O_RDWR | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
                std::this_thread::yield();
            }
        });
        QTRY_VERIFY(!p.review->status().isEmpty() ||
                    strip->item(0)->text().contains(QChar(0x2605)));
        p.review.reset();
        done = true;
        neighbour.join();
        struct stat st {};
        QCOMPARE(::lstat(sidecar.c_str(), &st), 0);
        QVERIFY(folder ? S_ISDIR(st.st_mode) : S_ISFIFO(st.st_mode));   // left as it was
    }
};

QTEST_MAIN(TestReview)
#include "ReviewTest.moc"
