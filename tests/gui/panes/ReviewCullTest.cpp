// Culling on the Review tab over a real capture folder: the filter above the strip (each
// filter against rated, unrated and rejected pictures, its count after a capture it hides, H),
// the marks drawn on the thumbnails, ratings another program writes into the sidecars
// (darktable's "name.jpg.xmp" changed in place, digiKam's "name.xmp"), a shown picture another
// program removes, and a deleted number given back once its file leaves the trash.
#include "support/ReviewTestSupport.h"
#include "support/XmpFixture.h"

#include "capture/ReviewCull.h"
#include "picture/Sidecar.h"

#include <QComboBox>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

using namespace testsupport;
using picture::CullFilter;

namespace {

QString selectedName(const CReviewPanel& review) {
    return QFileInfo(review.selectedPath()).fileName();
}

// Pixels of the item's icon like the colour given: the reject's red cross, the stars' gold.
int pixelsLike(const QListWidgetItem* item, bool red) {
    const QImage image = StripIcon(item);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (red ? c.red() > 200 && c.green() < 90 && c.blue() < 90
                    : c.red() > 200 && c.green() > 150 && c.blue() < 100)
                ++count;
        }
    return count;
}

// Pixels of the item's icon in the client pick's heart colour, and how many of them lie in the
// heart's corner.
std::pair<int, int> heartPixels(const QListWidgetItem* item) {
    const QImage image = StripIcon(item);
    const QRect corner = ClientPickHeartRect(image.rect());
    int all = 0, inCorner = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - kClientPickColor.red()) < 24 &&
                std::abs(c.green() - kClientPickColor.green()) < 24 &&
                std::abs(c.blue() - kClientPickColor.blue()) < 24) {
                ++all;
                if (corner.contains(x, y)) ++inCorner;
            }
        }
    return {all, inCorner};
}

}   // namespace

class TestReviewCull : public QObject {
    Q_OBJECT
private slots:
    void eachFilterShowsItsPicturesAndCountsAHiddenCapture() {
        ReviewPanelFixture p;
        // Newest first in the strip: 5 rejected, 4 five stars, 3 three, 2 one, 1 unrated.
        const std::optional<int> ratings[] = {std::nullopt, 1, 3, 5, picture::kReject};
        for (int n = 1; n <= 5; ++n) {
            const std::string path = p.folder + "Photo-000" + std::to_string(n) + ".jpg";
            WriteShadedJpeg(path, static_cast<std::uint8_t>(40 * n));
            if (ratings[n - 1])
                QCOMPARE(picture::WriteRating({path}, ratings[n - 1]), std::string());
        }
        QListWidget* strip = p.show();
        ReviewCull* cull = p.review->cull();
        QTRY_COMPARE(strip->count(), 5);
        QTRY_VERIFY(strip->item(0)->text().endsWith(QStringLiteral("Rejected")));

        // The marks on the thumbnails: the reject's cross, the stars, nothing on the unrated.
        QVERIFY(pixelsLike(strip->item(0), true) > 10);
        QCOMPARE(pixelsLike(strip->item(0), false), 0);
        QVERIFY(pixelsLike(strip->item(1), false) > 10);
        QCOMPARE(pixelsLike(strip->item(4), true) + pixelsLike(strip->item(4), false), 0);

        struct Row {
            CullFilter filter;
            const char* text;   // in the menu
            QStringList shown;
            const char* count;
        };
        const Row rows[] = {
            {CullFilter::All,
             "All",
             {"Photo-0005.jpg", "Photo-0004.jpg", "Photo-0003.jpg", "Photo-0002.jpg",
              "Photo-0001.jpg"},
             ""},
            {CullFilter::Rated1,
             "Rated 1+",
             {"Photo-0004.jpg", "Photo-0003.jpg", "Photo-0002.jpg"},
             "3 shown of 5"},
            {CullFilter::Rated2, "Rated 2+", {"Photo-0004.jpg", "Photo-0003.jpg"}, "2 shown of 5"},
            {CullFilter::Rated3, "Rated 3+", {"Photo-0004.jpg", "Photo-0003.jpg"}, "2 shown of 5"},
            {CullFilter::Rated4, "Rated 4+", {"Photo-0004.jpg"}, "1 shown of 5"},
            {CullFilter::Rated5, "Rated 5", {"Photo-0004.jpg"}, "1 shown of 5"},
            {CullFilter::Picks,
             "Picks only",
             {"Photo-0004.jpg", "Photo-0003.jpg", "Photo-0002.jpg", "Photo-0001.jpg"},
             "4 shown of 5"},
            {CullFilter::Rejects, "Rejects only", {"Photo-0005.jpg"}, "1 shown of 5"},
        };
        for (const Row& row : rows) {
            QComboBox* menu = cull->menu();
            const int index = static_cast<int>(row.filter);
            QCOMPARE(menu->itemText(index), QString::fromLatin1(row.text));
            menu->setCurrentIndex(index);
            emit menu->activated(index);   // as a choice in the menu
            QCOMPARE(ShownNames(strip), row.shown);
            QCOMPARE(cull->count(), QString::fromLatin1(row.count));
            // The selection is on a shown picture; the arrows pass over the hidden ones.
            QVERIFY2(!strip->currentItem()->isHidden(), row.text);
            strip->setCurrentRow(
                strip->row(strip->findItems(row.shown.front(), Qt::MatchStartsWith).front()),
                QItemSelectionModel::ClearAndSelect);
            QStringList stepped{selectedName(*p.review)};
            for (int i = 1; i < row.shown.size() + 1; ++i) {
                QTest::keyClick(strip, Qt::Key_Right);
                if (selectedName(*p.review) != stepped.back()) stepped << selectedName(*p.review);
            }
            QCOMPARE(stepped, row.shown);
        }

        // H hides the rejects and shows them again.
        cull->SetFilter(CullFilter::All);
        QTest::keyClick(strip, Qt::Key_H);
        QCOMPARE(cull->filter(), CullFilter::Picks);
        QCOMPARE(cull->menu()->currentText(), QStringLiteral("Picks only"));
        QTest::keyClick(strip, Qt::Key_H);
        QCOMPARE(cull->filter(), CullFilter::All);

        // The filter stays through a capture it hides, and the count says so; rating the
        // selected picture out of the filter moves on to the next one shown.
        cull->SetFilter(CullFilter::Rated3);
        WriteShadedJpeg(p.folder + "Photo-0006.jpg", 90);
        QTRY_COMPARE(strip->count(), 6);
        QCOMPARE(cull->filter(), CullFilter::Rated3);
        QCOMPARE(ShownNames(strip), (QStringList{"Photo-0004.jpg", "Photo-0003.jpg"}));
        QCOMPARE(cull->count(), QStringLiteral("2 shown of 6"));
        strip->setCurrentRow(strip->row(strip->findItems("Photo-0004.jpg", Qt::MatchStartsWith)[0]),
                             QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_2);
        QTRY_COMPARE(cull->count(), QStringLiteral("1 shown of 6"));
        QCOMPARE(selectedName(*p.review), QStringLiteral("Photo-0003.jpg"));
    }

    // The client's pick shows as a heart in the thumbnail's corner, beside the photographer's
    // stars, on that picture only; a pick set or cleared from the client view while the strip is
    // shown moves the hearts (also on a picture that had no sidecar yet).
    void aClientPickShowsAHeartOnItsThumbnailOnly() {
        ReviewPanelFixture p;
        const std::string one = p.folder + "Photo-0001.jpg", two = p.folder + "Photo-0002.jpg";
        WriteShadedJpeg(one, 120);
        WriteShadedJpeg(two, 120);
        QCOMPARE(picture::WriteRating({one}, 3), std::string());
        QCOMPARE(picture::WriteClientPick(one, true), std::string());
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 2);
        QListWidgetItem* first = strip->findItems("Photo-0001.jpg", Qt::MatchStartsWith).front();
        QListWidgetItem* second = strip->findItems("Photo-0002.jpg", Qt::MatchStartsWith).front();
        QTRY_VERIFY(first->data(reviewrole::Loaded).toBool() &&
                    second->data(reviewrole::Loaded).toBool());
        QTRY_VERIFY(heartPixels(first).first > 20);
        QCOMPARE(heartPixels(first).second, heartPixels(first).first);   // all in its corner
        QVERIFY(pixelsLike(first, false) > 10);                          // the stars still there
        QCOMPARE(heartPixels(second).first, 0);

        QCOMPARE(picture::WriteClientPick(one, false), std::string());
        QCOMPARE(picture::WriteClientPick(two, true), std::string());
        QTRY_VERIFY(heartPixels(second).first > 20);
        QTRY_COMPARE(heartPixels(first).first, 0);
        QCOMPARE(picture::ReadRating(one), std::optional<int>(3));
        QVERIFY(pixelsLike(first, false) > 10);
    }

    // darktable rewrites its sidecar in place, digiKam may write "name.xmp": both show within a
    // second, the filter following.
    void aRatingAnotherProgramWritesShowsWithinASecond() {
        ReviewPanelFixture p;
        const std::string dark = p.folder + "Photo-0001.jpg", kam = p.folder + "Photo-0002.jpg";
        WriteShadedJpeg(dark, 60);
        WriteShadedJpeg(kam, 120);
        WriteDarktableRating(dark + ".xmp", 1);
        QListWidget* strip = p.show();
        ReviewCull* cull = p.review->cull();
        cull->SetFilter(CullFilter::Rated3);
        QTRY_COMPARE(strip->count(), 2);
        QCOMPARE(cull->rating(dark), std::optional<int>(1));
        QCOMPARE(ShownNames(strip), QStringList());
        QCOMPARE(cull->count(), QStringLiteral("0 shown of 2"));

        WriteDarktableRating(dark + ".xmp", 4);   // same size, same file
        QTRY_COMPARE_WITH_TIMEOUT(ShownNames(strip), QStringList{"Photo-0001.jpg"}, 1000);
        QCOMPARE(strip->item(1)->text(),
                 QStringLiteral("Photo-0001.jpg\n\u2605\u2605\u2605\u2605\u2606"));
        WriteDarktableRating(p.folder + "Photo-0002.xmp", 5);
        QTRY_COMPARE_WITH_TIMEOUT(ShownNames(strip),
                                  (QStringList{"Photo-0002.jpg", "Photo-0001.jpg"}), 1000);
        // A rating given here goes into the sidecar the other program keeps.
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(strip, Qt::Key_3);
        QTRY_COMPARE(picture::ReadRating(kam), std::optional<int>(3));
        QVERIFY(!testsupport::Exists(kam + ".xmp"));
    }

    // Another program removes the picture shown large: the next older one takes its place,
    // large too.
    void aShownPictureRemovedFromOutsideGivesItsPlaceToTheNext() {
        ReviewPanelFixture p;
        for (int n = 1; n <= 4; ++n)
            WriteShadedJpeg(p.folder + "Photo-000" + std::to_string(n) + ".jpg",
                            static_cast<std::uint8_t>(50 * n));
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 4);
        strip->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        QSignalSpy shown(p.review.get(), &CReviewPanel::pictureShown);
        p.review->ShowLarge();
        QVERIFY(shown.wait());
        QCOMPARE(::unlink((p.folder + "Photo-0003.jpg").c_str()), 0);
        QTRY_COMPARE(strip->count(), 3);
        QCOMPARE(selectedName(*p.review), QStringLiteral("Photo-0002.jpg"));
        QVERIFY(p.review->showingLarge());
        QTRY_VERIFY(!shown.isEmpty() &&
                    QFileInfo(shown.last().at(0).toString()).fileName() == "Photo-0002.jpg");
        QVERIFY(p.screen->showingPicture());
    }

    // A deleted number is held while its file is in the trash; emptied there, it is free again.
    void aDeletedNumberIsFreeOnceItsFileLeavesTheTrash() {
        ReviewPanelFixture p;
        WriteShadedJpeg(p.folder + "Photo-0001.jpg", 90);
        WriteShadedJpeg(p.folder + "Photo-0002.jpg", 200);
        QListWidget* strip = p.show();
        QTRY_COMPARE(strip->count(), 2);
        strip->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        p.review->MoveToTrash();
        QTRY_COMPARE(strip->count(), 1);
        const std::string trashed = p.trash + "/files/Photo-0002.jpg";
        QVERIFY(testsupport::Exists(trashed));
        QCOMPARE(p.fx.doc->naming().Next(p.folder, "Photo", "jpg").path,
                 p.folder + "Photo-0003.jpg");
        QCOMPARE(::unlink(trashed.c_str()), 0);   // the trash emptied
        QTRY_COMPARE(p.fx.doc->naming().Next(p.folder, "Photo", "jpg").path,
                     p.folder + "Photo-0002.jpg");
        p.review->UndoTrash();   // nothing left to undo: nothing happens
        QCOMPARE(strip->count(), 1);
    }
};

QTEST_MAIN(TestReviewCull)
#include "ReviewCullTest.moc"
