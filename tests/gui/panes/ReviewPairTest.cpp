// A RAW+JPEG pair on the Review strip over a real capture folder: one item beside a RAW alone
// and a JPEG alone, with the JPEG's thumbnail, large view and the "RAW+JPEG" mark; a rating
// written to both sidecars and read from either (the JPEG's first, as another program may have
// rated one file alone, also while the strip is shown); the filter, its count and compare taking
// the pair as one picture; Delete and its undo of both files; a RAW arriving before or after its
// JPEG joining the JPEG's item.
#include "support/ReviewTestSupport.h"
#include "support/XmpFixture.h"

#include "capture/ReviewCompare.h"
#include "capture/ReviewCull.h"
#include "capture/ThumbnailMarks.h"
#include "picture/Sidecar.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace testsupport;
using picture::CullFilter;

namespace {

// A RAW file with no preview Kestrel can show.
void writeRaw(const std::string& path) { WriteFile(path, "KESTREL-RAW but cut short"); }

// Pixels of the "RAW+JPEG" badge's colour in its corner.
int pairMarkPixels(const QListWidgetItem* item, bool starred) {
    const QImage image = StripIcon(item);
    const QRect badge = RawPairMarkRect(image.rect(), starred);
    int count = 0;
    for (int y = badge.top(); y <= badge.bottom(); ++y)
        for (int x = badge.left(); x <= badge.right(); ++x) {
            if (!image.rect().contains(x, y)) continue;
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - kRawPairColor.red()) < 20 &&
                std::abs(c.green() - kRawPairColor.green()) < 20 &&
                std::abs(c.blue() - kRawPairColor.blue()) < 20)
                ++count;
        }
    return count;
}

const QString kFourStars = QStringLiteral("\u2605\u2605\u2605\u2605\u2606");

}   // namespace

class TestReviewPair : public QObject {
    Q_OBJECT
private slots:
    void aPairIsOneItemRatedShownComparedAndDeletedAsOne() {
        ReviewPanelFixture p;
        const std::string jpeg = p.folder + "Photo-0003.jpg", raw = p.folder + "Photo-0003.crw";
        writeRaw(raw);
        WriteShadedJpeg(jpeg, 250);
        WriteShadedJpeg(p.folder + "Photo-0002.jpg", 40);   // a JPEG alone
        writeRaw(p.folder + "Photo-0001.cr2");              // a RAW alone
        QListWidget* strip = p.show();
        QTRY_COMPARE(ShownNames(strip),
                     (QStringList{"Photo-0003.jpg", "Photo-0002.jpg", "Photo-0001.cr2"}));
        for (int i = 0; i < 3; ++i) QTRY_VERIFY(strip->item(i)->data(reviewrole::Loaded).toBool());
        QTRY_VERIFY(strip->item(2)->text().contains(QStringLiteral("no preview in the file")));

        // The JPEG's thumbnail (the RAW has none) with the mark; the others carry none.
        const QImage pair = StripIcon(strip->item(0));
        QVERIFY(qGray(pair.pixel(pair.width() / 2, pair.height() / 3)) > 200);
        QVERIFY(pairMarkPixels(strip->item(0), false) > 100);
        QCOMPARE(pairMarkPixels(strip->item(1), false), 0);
        QCOMPARE(pairMarkPixels(strip->item(2), false), 0);

        // One rating, written to both sidecars; the mark moves above the stars.
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_4);
        QTRY_COMPARE(strip->item(0)->text(), QStringLiteral("Photo-0003.jpg\n") + kFourStars);
        QCOMPARE(picture::ReadRating(jpeg), std::optional<int>(4));
        QCOMPARE(picture::ReadRating(raw), std::optional<int>(4));
        QVERIFY(pairMarkPixels(strip->item(0), true) > 100);

        // Large: the JPEG.
        QSignalSpy shown(p.review.get(), &CReviewPanel::pictureShown);
        QTest::keyClick(strip, Qt::Key_Return);
        QVERIFY(shown.wait());
        QCOMPARE(shown.last().at(0).toString(), QString::fromStdString(jpeg));

        // The filter and its count take the pair as one picture; so does compare.
        ReviewCull* cull = p.review->cull();
        cull->SetFilter(CullFilter::Rated1);
        QCOMPARE(ShownNames(strip), QStringList{"Photo-0003.jpg"});
        QCOMPARE(cull->count(), QStringLiteral("1 shown of 3"));
        cull->SetFilter(CullFilter::All);
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_C);
        QVERIFY(p.review->comparing());
        QCOMPARE(p.review->compare()->path(0), p.folder + "Photo-0002.jpg");
        QCOMPARE(p.review->compare()->path(1), jpeg);
        QTest::keyClick(strip, Qt::Key_C);

        // One Delete takes both files and both sidecars; one Ctrl+Z brings them back as one.
        QTest::keyClick(strip, Qt::Key_Delete);
        QTRY_COMPARE(ShownNames(strip), (QStringList{"Photo-0002.jpg", "Photo-0001.cr2"}));
        for (const char* gone :
             {"Photo-0003.jpg", "Photo-0003.crw", "Photo-0003.jpg.xmp", "Photo-0003.crw.xmp"}) {
            QVERIFY2(!Exists(p.folder + gone), gone);
            QVERIFY2(Exists(p.trash + "/files/" + gone), gone);
        }
        QVERIFY(
            p.fx.console.text().find("Moved Photo-0003.jpg and Photo-0003.crw to the trash\r\n") !=
            std::string::npos);
        QTest::keyClick(strip, Qt::Key_Z, Qt::ControlModifier);
        QTRY_COMPARE(ShownNames(strip),
                     (QStringList{"Photo-0003.jpg", "Photo-0002.jpg", "Photo-0001.cr2"}));
        QCOMPARE(p.review->selectedPath(), QString::fromStdString(jpeg));
        QVERIFY(p.fx.console.text().find(
                    "Restored Photo-0003.jpg and Photo-0003.crw from the trash\r\n") !=
                std::string::npos);
        QTRY_COMPARE(strip->item(0)->text(), QStringLiteral("Photo-0003.jpg\n") + kFourStars);
        QTRY_VERIFY(pairMarkPixels(strip->item(0), true) > 100);
        QCOMPARE(picture::ReadRating(raw), std::optional<int>(4));
    }

    // Which rating a pair shows when another program rated one file of it: the JPEG's, else the
    // RAW's; a change of the RAW's sidecar, or a new one, shows while the strip is shown.
    void aPairShowsTheJpegsRatingElseTheRaws() {
        struct Row {
            const char* number;
            std::optional<int> jpeg, raw;   // in the sidecars (none: no sidecar)
            QString shown;                  // the item's second line
        };
        const Row rows[] = {
            {"0010", std::nullopt, 4, kFourStars},
            {"0011", 2, 4, QStringLiteral("\u2605\u2605\u2606\u2606\u2606")},
            {"0012", 2, std::nullopt, QStringLiteral("\u2605\u2605\u2606\u2606\u2606")},
            {"0013", std::nullopt, picture::kReject, QStringLiteral("Rejected")},
            {"0014", 5, picture::kReject, QStringLiteral("\u2605\u2605\u2605\u2605\u2605")},
            {"0015", std::nullopt, std::nullopt, QString()},
        };
        ReviewPanelFixture p;
        for (const Row& row : rows) {
            const std::string stem = p.folder + "Photo-" + row.number;
            writeRaw(stem + ".cr2");
            WriteShadedJpeg(stem + ".jpg", 120);
            if (row.jpeg) WriteDarktableRating(stem + ".jpg.xmp", row.jpeg);
            if (row.raw) WriteDarktableRating(stem + ".cr2.xmp", row.raw);
        }
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 6);
        const auto secondLine = [strip](const char* number) {
            const QString name = QStringLiteral("Photo-%1.jpg").arg(QLatin1String(number));
            const QListWidgetItem* item = StripItemNamed(strip, name.toLatin1().constData());
            return item ? item->text().section('\n', 1) : QStringLiteral("(no item)");
        };
        for (const Row& row : rows) QTRY_COMPARE(secondLine(row.number), row.shown);
        ReviewCull* cull = p.review->cull();
        cull->SetFilter(CullFilter::Rated3);
        QCOMPARE(ShownNames(strip), (QStringList{"Photo-0014.jpg", "Photo-0010.jpg"}));
        QCOMPARE(cull->count(), QStringLiteral("2 shown of 6"));

        // Changed in place, and written anew, by another program while shown.
        WriteDarktableRating(p.folder + "Photo-0010.cr2.xmp", 1);
        WriteDarktableRating(p.folder + "Photo-0015.cr2.xmp", 3);
        QTRY_COMPARE_WITH_TIMEOUT(secondLine("0010"),
                                  QStringLiteral("\u2605\u2606\u2606\u2606\u2606"), 1500);
        QTRY_COMPARE_WITH_TIMEOUT(secondLine("0015"),
                                  QStringLiteral("\u2605\u2605\u2605\u2606\u2606"), 1500);
        QCOMPARE(ShownNames(strip), (QStringList{"Photo-0015.jpg", "Photo-0014.jpg"}));
        QCOMPARE(cull->count(), QStringLiteral("2 shown of 6"));

        // Rated here, both files agree again.
        cull->SetFilter(CullFilter::All);
        strip->setCurrentItem(StripItemNamed(strip, "Photo-0011.jpg"),
                              QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_X);
        QTRY_COMPARE(secondLine("0011"), QStringLiteral("Rejected"));
        QCOMPARE(picture::ReadRating(p.folder + "Photo-0011.jpg"),
                 std::optional<int>(picture::kReject));
        QCOMPARE(picture::ReadRating(p.folder + "Photo-0011.cr2"),
                 std::optional<int>(picture::kReject));
    }

    // The camera hands over the two files one after the other, in either order: the pair ends as
    // the JPEG's one item, selected and shown large when its first file was.
    void aRawArrivingBesideItsJpegJoinsItsItem_data() {
        QTest::addColumn<bool>("rawFirst");
        QTest::newRow("JPEG first") << false;
        QTest::newRow("RAW first") << true;
    }
    void aRawArrivingBesideItsJpegJoinsItsItem() {
        QFETCH(bool, rawFirst);
        ReviewPanelFixture p;
        const std::string jpeg = p.folder + "Photo-0001.jpg", raw = p.folder + "Photo-0001.cr2";
        if (rawFirst) writeRaw(raw);
        else WriteShadedJpeg(jpeg, 200);
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 1);
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QSignalSpy shown(p.review.get(), &CReviewPanel::pictureShown);
        p.review->ShowLarge();
        if (rawFirst) WriteShadedJpeg(jpeg, 200);
        else writeRaw(raw);
        QTRY_VERIFY(pairMarkPixels(strip->item(0), false) > 100);
        QCOMPARE(ShownNames(strip), QStringList{"Photo-0001.jpg"});
        QCOMPARE(p.review->selectedPath(), QString::fromStdString(jpeg));
        QVERIFY(p.review->showingLarge());
        QTRY_VERIFY(!shown.isEmpty() &&
                    shown.last().at(0).toString() == QString::fromStdString(jpeg));
        QCOMPARE(p.review->arrived(), QString());   // the same picture, not a new one
    }
};

QTEST_MAIN(TestReviewPair)
#include "ReviewPairTest.moc"
