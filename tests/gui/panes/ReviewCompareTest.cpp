// The Review tab's compare and the culling aids beside it, over real files: compare's halves
// against the pixels of the files (fitted, at 100 % from the whole decodes, after a drag that
// pans both), two pictures marked with Ctrl, Esc back to where it began; the name and shooting
// data under the large view (EXIF written through libexiv2, a file with none, never the line of
// the picture before); the advance after a rating; a batch rating and a batch Delete with its one
// console line and one undo.
#include "support/ExifFixture.h"
#include "support/ReviewTestSupport.h"

#include "capture/CPictureControl.h"
#include "capture/CReviewPanel.h"
#include "capture/CViewViewscreen.h"
#include "capture/CompareView.h"
#include "capture/ReviewCompare.h"
#include "capture/ReviewCull.h"
#include "picture/Preview.h"
#include "picture/Sidecar.h"
#include "sdk/sim/ImageFile.h"
#include "views/CViewInfo.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <fstream>

using namespace testsupport;

namespace {

constexpr int kWidth = 1600, kHeight = 1200;

// A picture whose every pixel says where it is: red across, green down, blue the picture's own.
void writeGradient(const std::string& path, std::uint8_t blue) {
    std::vector<std::uint8_t> rgb(std::size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = &rgb[(std::size_t(y) * kWidth + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 255 / kWidth);
            p[1] = static_cast<std::uint8_t>(y * 255 / kHeight);
            p[2] = blue;
        }
    const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), kWidth, kHeight, 95);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
}

// The file's own pixel, decoded whole by the reader (the ground truth for the 100 % view: one
// for one, exactly).
QRgb filePixel(const std::string& path, QPoint at) {
    const picture::Pixels pixels = picture::ReadLargeView(path, 0, 0).pixels;
    const std::uint8_t* p = &pixels.rgb[(std::size_t(at.y()) * pixels.width + at.x()) * 3];
    return qRgb(p[0], p[1], p[2]);
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString text(QRgb c) {
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

void drag(QWidget* control, QPoint from, QPoint to) {
    QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 4; ++i) {
        const QPoint at = from + (to - from) * i / 4;
        QMouseEvent move(QEvent::MouseMove, at, control->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(control, &move);
    }
    QTest::mouseRelease(control, Qt::LeftButton, Qt::NoModifier, to);
}

void clickItem(QListWidget* strip, int row, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, modifiers,
                      strip->visualItemRect(strip->item(row)).center());
}

// The Review panel with the viewscreen at 640 x 480 and the Info pane, over the fixture's folder.
struct Review : ReviewPanelFixture {
    QListWidget* show(int pictures) {
        screen = std::make_unique<CViewViewscreen>(fx.doc.get());
        screen->setStep(160);
        screen->resize(640, 500);
        screen->show();
        info = std::make_unique<CViewInfo>(fx.doc.get());
        review = std::make_unique<CReviewPanel>(fx.doc.get());
        review->resize(900, 300);
        review->show();
        if (!QTest::qWaitFor([&] { return review->strip()->count() == pictures; }, 5000))
            qWarning("the strip did not list %d pictures", pictures);
        return review->strip();
    }
    QWidget* control() const { return screen->picture(CViewViewscreen::LivePicture); }
    QImage canvas() const { return screen->picture(CViewViewscreen::LivePicture)->image(); }
};

}   // namespace

class TestReviewCompare : public QObject {
    Q_OBJECT
private slots:
    void compareShowsBothPicturesZoomedAndPannedTogether() {
        Review r;
        writeGradient(r.path("Photo-0001.jpg"), 40);
        writeGradient(r.path("Photo-0002.jpg"), 220);
        WriteShadedJpeg(r.path("Photo-0003.jpg"), 128);
        QListWidget* strip = r.show(3);
        QCOMPARE(strip->count(), 3);
        QSignalSpy shown(r.review.get(), &CReviewPanel::pictureShown);
        QSignalSpy sides(r.review.get(), &CReviewPanel::compareSideShown);

        // From the large view of Photo-0002: compare with the one before it, Photo-0001.
        strip->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_Return);
        QVERIFY(shown.wait());
        QTest::keyClick(strip, Qt::Key_C);
        QVERIFY(r.review->comparing());
        QVERIFY(r.screen->comparing());
        QCOMPARE(r.review->compare()->path(CompareView::kLeft), r.path("Photo-0001.jpg"));
        QCOMPARE(r.review->compare()->path(CompareView::kRight), r.path("Photo-0002.jpg"));
        // Both whole pictures arrive from the workers.
        const auto whole = [&](const char* name) {
            for (const QList<QVariant>& s : sides)
                if (s.at(0).toString() == QString::fromStdString(r.path(name)) && s.at(1).toBool())
                    return true;
            return false;
        };
        QTRY_VERIFY(whole("Photo-0001.jpg") && whole("Photo-0002.jpg"));
        CompareView* compare = r.screen->compare();
        // Kept beside the views drawn fitted, which stay the screen's decodes.
        for (int side : {CompareView::kLeft, CompareView::kRight}) {
            QCOMPARE(compare->side(side).whole.size(), QSize(kWidth, kHeight));
            QVERIFY(compare->side(side).image.width() < kWidth);
        }

        // Fitted: each half's middle is its picture's middle (blue tells them apart).
        const QSize size = r.control()->size();
        const QPoint middles[] = {CompareView::Half(CompareView::kLeft, size).center(),
                                  CompareView::Half(CompareView::kRight, size).center()};
        const std::uint8_t blues[] = {40, 220};
        for (int side : {CompareView::kLeft, CompareView::kRight}) {
            const QRgb got = r.canvas().pixel(middles[side]);
            QVERIFY2(near(got, qRgb(127, 127, blues[side]), 8), qPrintable(text(got)));
        }

        // A click zooms both to 100 % around the point under it; a drag pans both alike.
        const QPoint at = middles[CompareView::kRight] + QPoint(60, -40);
        const QPoint picked = compare->PicturePoint(CompareView::kRight, at, size);
        QTest::mouseClick(r.control(), Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(compare->actualSize());
        QCOMPARE(compare->CentreOf(CompareView::kLeft, size), picked);
        QCOMPARE(compare->CentreOf(CompareView::kRight, size), picked);
        drag(r.control(), QPoint(300, 300), QPoint(200, 250));   // the pictures follow the pointer
        const QPoint panned = picked + QPoint(100, 50);
        QCOMPARE(compare->CentreOf(CompareView::kLeft, size), panned);
        QCOMPARE(compare->CentreOf(CompareView::kRight, size), panned);
        QVERIFY(compare->actualSize());   // a drag is no click
        for (int side : {CompareView::kLeft, CompareView::kRight}) {
            const std::string file = r.review->compare()->path(side);
            const QPoint half = CompareView::Half(side, size).center();
            // One for one: the file's own pixels around the point, in both halves.
            for (const QPoint d : {QPoint(0, 0), QPoint(-90, 0), QPoint(50, 120)}) {
                const QRgb got = r.canvas().pixel(half + d);
                const QRgb want = filePixel(file, panned + d);
                QVERIFY2(got == want, qPrintable(text(got) + " for " + text(want)));
            }
        }
        // Pulled far past the corner: both stop at the pictures' edge together.
        for (int i = 0; i < 3; ++i) drag(r.control(), QPoint(10, 10), QPoint(630, 470));
        QCOMPARE(compare->CentreOf(CompareView::kLeft, size),
                 compare->CentreOf(CompareView::kRight, size));
        QCOMPARE(compare->CentreOf(CompareView::kLeft, size).x(),
                 (CompareView::Half(CompareView::kLeft, size).width() - 1) / 2);
        QCOMPARE(compare->CentreOf(CompareView::kLeft, size).y(), (size.height() - 1) / 2);

        // Esc: the large view of Photo-0002 as before compare.
        QTest::keyClick(strip, Qt::Key_Escape);
        QVERIFY(!r.review->comparing());
        QVERIFY(!r.screen->comparing());
        QVERIFY(r.screen->showingPicture());
        QTRY_VERIFY(near(r.canvas().pixel(r.canvas().rect().center()), qRgb(127, 127, 220), 8));
        QCOMPARE(r.review->selectedPath(), QString::fromStdString(r.path("Photo-0002.jpg")));

        // Two pictures marked with Ctrl: those two, the older on the left; C again leaves.
        QTest::keyClick(strip, Qt::Key_Escape);
        QVERIFY(!r.screen->showingPicture());
        clickItem(strip, 0, Qt::NoModifier);
        clickItem(strip, 2, Qt::ControlModifier);
        QCOMPARE(strip->selectedItems().size(), 2);
        QTest::keyClick(strip, Qt::Key_C);
        QCOMPARE(r.review->compare()->path(CompareView::kLeft), r.path("Photo-0001.jpg"));
        QCOMPARE(r.review->compare()->path(CompareView::kRight), r.path("Photo-0003.jpg"));
        QTRY_VERIFY(near(r.canvas().pixel(middles[CompareView::kRight]), qRgb(128, 128, 128), 8));
        QTest::keyClick(strip, Qt::Key_C);
        QVERIFY(!r.screen->comparing());
        QVERIFY(!r.screen->showingPicture());   // compare began from the live view
    }

    // Which two compare takes: the selected one and the one before it shown (the filter's hidden
    // passed over), the newer one for the oldest, or the two marked; the earlier on the left.
    void comparePairsTheRightTwo() {
        Review r;
        for (int n = 1; n <= 4; ++n)
            WriteShadedJpeg(r.path(("Photo-000" + std::to_string(n) + ".jpg").c_str()),
                            static_cast<std::uint8_t>(50 * n));
        QVERIFY(picture::WriteRating({r.path("Photo-0003.jpg")}, picture::kReject).empty());
        QListWidget* strip = r.show(4);
        QCOMPARE(strip->count(), 4);
        struct Case {
            picture::CullFilter filter;
            std::vector<int> rows;   // clicked, Ctrl with the others
            const char* left;
            const char* right;
        } const cases[] = {
            {picture::CullFilter::All, {0}, "Photo-0003.jpg", "Photo-0004.jpg"},
            {picture::CullFilter::All, {2}, "Photo-0001.jpg", "Photo-0002.jpg"},
            {picture::CullFilter::All, {3}, "Photo-0001.jpg", "Photo-0002.jpg"},     // the oldest
            {picture::CullFilter::Picks, {0}, "Photo-0002.jpg", "Photo-0004.jpg"},   // 3 hidden
            {picture::CullFilter::All, {3, 0}, "Photo-0001.jpg", "Photo-0004.jpg"},
            // Three marked: the one clicked last and the one beside it.
            {picture::CullFilter::All, {0, 1, 3}, "Photo-0001.jpg", "Photo-0002.jpg"},
        };
        for (const Case& c : cases) {
            r.review->cull()->SetFilter(c.filter);
            QTRY_VERIFY(strip->item(1)->isHidden() == (c.filter == picture::CullFilter::Picks));
            clickItem(strip, c.rows[0], Qt::NoModifier);
            for (std::size_t i = 1; i < c.rows.size(); ++i)
                clickItem(strip, c.rows[i], Qt::ControlModifier);
            QTest::keyClick(strip, Qt::Key_C);
            QVERIFY2(r.review->comparing(), c.left);
            const std::string got =
                QFileInfo(QString::fromStdString(r.review->compare()->path(CompareView::kLeft)))
                    .fileName()
                    .toStdString() +
                " " +
                QFileInfo(QString::fromStdString(r.review->compare()->path(CompareView::kRight)))
                    .fileName()
                    .toStdString();
            QCOMPARE(QString::fromStdString(got), QString::fromLatin1(c.left) + " " + c.right);
            QTest::keyClick(strip, Qt::Key_Escape);
            QVERIFY(!r.screen->comparing());
        }
    }

    void theLineUnderTheLargeViewIsThePicturesOwn() {
        Review r;
        // Newest first: 3 with all the data, 2 with none (no EXIF at all), 1 with some.
        WriteShadedJpeg(r.path("Photo-0001.jpg"), 60);
        WriteShadedJpeg(r.path("Photo-0002.jpg"), 120);
        WriteShadedJpeg(r.path("Photo-0003.jpg"), 180);
        WriteExif(r.path("Photo-0003.jpg"), {{1, 250}, {28, 10}, 800, "RF24-70mm F2.8 L IS USM"});
        WriteExif(r.path("Photo-0001.jpg"), {{2, 1}, {0, 0}, 0, ""});
        {
            // Photo-0002 rewritten without any EXIF block.
            std::vector<std::uint8_t> rgb(320 * 240 * 3, 120);
            const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), 320, 240, 90);
            Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(r.path("Photo-0002.jpg"));
            image->readMetadata();
            image->clearExifData();
            image->writeMetadata();
        }
        QListWidget* strip = r.show(3);
        QCOMPARE(strip->count(), 3);
        // Whenever the view changes, the line names the picture on screen.
        QStringList lines;
        const auto check = [&](const QString& path) {
            lines << r.screen->pictureCaption();
            QVERIFY2(r.screen->pictureCaption().startsWith(QFileInfo(path).fileName()),
                     qPrintable(r.screen->pictureCaption()));
        };
        connect(r.review.get(), &CReviewPanel::pictureShown, this, check);
        connect(r.review.get(), &CReviewPanel::standInShown, this, check);
        QSignalSpy shown(r.review.get(), &CReviewPanel::pictureShown);
        struct Step {
            Qt::Key key;
            const char* line;
        } const steps[] = {
            {Qt::Key_Return,
             "Photo-0003.jpg   1/250 s   f/2.8   ISO 800   RF24-70mm F2.8 L IS USM"},
            {Qt::Key_Right, "Photo-0002.jpg   no shooting data"},
            {Qt::Key_Right, "Photo-0001.jpg   2 s"},
            {Qt::Key_Left, "Photo-0002.jpg   no shooting data"},
        };
        for (const Step& s : steps) {
            QTest::keyClick(strip, s.key);
            QTRY_COMPARE(r.screen->pictureCaption(), QString::fromLatin1(s.line));
        }
        QVERIFY(!lines.isEmpty());
        // The live view has no line.
        QTest::keyClick(strip, Qt::Key_Escape);
        QCOMPARE(r.screen->pictureCaption(), QString());
        QVERIFY(!r.screen->findChild<QLabel*>(QStringLiteral("pictureCaption"))->isVisible());
    }

    void aRatingAdvancesAndABatchActsOnEverySelectedPicture() {
        Review r;
        for (int n = 1; n <= 5; ++n)
            WriteShadedJpeg(r.path(("Photo-000" + std::to_string(n) + ".jpg").c_str()),
                            static_cast<std::uint8_t>(40 * n));
        QListWidget* strip = r.show(5);
        QCOMPARE(strip->count(), 5);
        const auto rating = [&](int n) {
            return picture::ReadRating(r.path(("Photo-000" + std::to_string(n) + ".jpg").c_str()));
        };
        const auto selectedName = [&] { return QFileInfo(r.review->selectedPath()).fileName(); };

        // Advance after a rating: on to the older picture, or the newer after a Left.
        r.review->setAdvanceAfterRating(true);
        clickItem(strip, 0, Qt::NoModifier);   // Photo-0005
        QTest::keyClick(strip, Qt::Key_3);
        QCOMPARE(selectedName(), QStringLiteral("Photo-0004.jpg"));
        QTRY_VERIFY(rating(5) == 3);
        QTest::keyClick(strip, Qt::Key_X);
        QCOMPARE(selectedName(), QStringLiteral("Photo-0003.jpg"));
        QTRY_VERIFY(rating(4) == picture::kReject);
        QTest::keyClick(strip, Qt::Key_Left);
        QTest::keyClick(strip, Qt::Key_0);   // no rating: a choice made, on it goes
        QCOMPARE(selectedName(), QStringLiteral("Photo-0005.jpg"));
        QTRY_VERIFY(rating(4) == std::nullopt);
        r.review->setAdvanceAfterRating(false);
        QTest::keyClick(strip, Qt::Key_1);
        QCOMPARE(selectedName(), QStringLiteral("Photo-0005.jpg"));
        QTRY_VERIFY(rating(5) == 1);

        // Ctrl and Shift: 4, 2 and 1 marked; one key rates them all, the others stay.
        r.review->setAdvanceAfterRating(true);
        clickItem(strip, 1, Qt::NoModifier);
        clickItem(strip, 3, Qt::ControlModifier);
        clickItem(strip, 4, Qt::ShiftModifier);
        QCOMPARE(r.review->selectedPaths(),
                 (QStringList{QString::fromStdString(r.path("Photo-0004.jpg")),
                              QString::fromStdString(r.path("Photo-0002.jpg")),
                              QString::fromStdString(r.path("Photo-0001.jpg"))}));
        QTest::keyClick(strip, Qt::Key_4);
        QTRY_VERIFY(rating(4) == 4 && rating(2) == 4 && rating(1) == 4);
        QVERIFY(rating(5) == 1 && rating(3) == std::nullopt);
        QCOMPARE(strip->selectedItems().size(), 3);   // a batch does not advance
        QTRY_VERIFY(strip->item(3)->text().endsWith(QString(4, QChar(0x2605)) + QChar(0x2606)));

        // Delete: all three to the trash, one console line; one Ctrl+Z brings all three back.
        QTest::keyClick(strip, Qt::Key_Delete);
        QTRY_COMPARE(strip->count(), 2);
        const std::string console = r.fx.console.text();
        QVERIFY2(console.find("Moved Photo-0004.jpg, Photo-0002.jpg and Photo-0001.jpg to the "
                              "trash\r\n") != std::string::npos,
                 console.c_str());
        QCOMPARE(std::count(console.begin(), console.end(), '\n'), 1);
        for (int n : {1, 2, 4})
            QVERIFY(!std::filesystem::exists(
                r.path(("Photo-000" + std::to_string(n) + ".jpg").c_str())));
        QTest::keyClick(strip, Qt::Key_Z, Qt::ControlModifier);
        QTRY_COMPARE(strip->count(), 5);
        QVERIFY(r.fx.console.text().find("Restored Photo-0004.jpg, Photo-0002.jpg and "
                                         "Photo-0001.jpg from the trash\r\n") != std::string::npos);
        QTRY_VERIFY(rating(4) == 4 && rating(2) == 4 && rating(1) == 4);   // sidecars came too
    }
};

QTEST_MAIN(TestReviewCompare)
#include "ReviewCompareTest.moc"
