// A series on the Review strip over a real capture folder: the pictures whose sidecars carry one
// bracket's keyword show as one thumbnail (the newest) with the count drawn on it, E expands the
// group and folds it again, a lone series picture and other pictures stay as they are, and a
// keyword written after the picture was listed groups it within the strip's next look.
#include "support/PaneTestSupport.h"

#include "capture/CReviewPanel.h"
#include "capture/CViewViewscreen.h"
#include "capture/PictureLoader.h"
#include "capture/ReviewCull.h"
#include "capture/SeriesGroups.h"
#include "picture/Sidecar.h"
#include "sdk/sim/ImageFile.h"
#include "views/CViewInfo.h"

#include <QAction>
#include <QListWidget>
#include <QTest>

#include <fstream>

using namespace testsupport;

namespace {

void writePicture(const std::string& path, std::uint8_t shade) {
    std::vector<std::uint8_t> rgb(320 * 240 * 3, shade);
    const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), 320, 240, 90);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
}

QStringList shownNames(const QListWidget* strip) {
    QStringList out;
    for (int i = 0; i < strip->count(); ++i)
        if (!strip->item(i)->isHidden()) out << strip->item(i)->text().section('\n', 0, 0);
    return out;
}

QListWidgetItem* itemNamed(QListWidget* strip, const QString& name) {
    const auto found = strip->findItems(name, Qt::MatchStartsWith);
    return found.isEmpty() ? nullptr : found.front();
}

// Dark badge pixels in the icon's top right corner, where the count is drawn on a light picture.
int badgePixels(const QListWidgetItem* item) {
    const QImage image =
        item->icon().pixmap(QSize(PictureLoader::kIconWidth, PictureLoader::kIconHeight)).toImage();
    int dark = 0;
    for (int y = 4; y < 22 && y < image.height(); ++y)
        for (int x = image.width() - 24; x < image.width() - 3; ++x)
            if (qGray(image.pixel(x, y)) < 60) ++dark;
    return dark;
}

}   // namespace

class TestReviewSeries : public QObject {
    Q_OBJECT
private slots:
    void aSeriesShowsAsOneGroupWithItsCount() {
        DocFixture fx;
        const std::string folder = fx.dir.path().toStdString() + "/";
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder + "data"));
        const char* keywords[] = {nullptr,
                                  "Bracket 1: -1 EV",
                                  "Bracket 1: 0 EV",
                                  "Bracket 1: +1 EV",
                                  "Focus stack 1: 1 of 1",
                                  nullptr};
        for (int n = 1; n <= 6; ++n) {
            const std::string path = folder + "Photo-000" + std::to_string(n) + ".jpg";
            writePicture(path, 220);
            if (keywords[n - 1])
                QCOMPARE(picture::WriteSeriesKeyword(path, keywords[n - 1]), std::string());
        }
        CViewViewscreen screen(fx.doc.get());
        CViewInfo info(fx.doc.get());
        CReviewPanel review(fx.doc.get());
        review.resize(900, 400);
        review.show();
        QListWidget* strip = review.strip();
        ReviewCull* cull = review.cull();
        QTRY_COMPARE(strip->count(), 6);
        const QStringList folded{"Photo-0006.jpg", "Photo-0005.jpg", "Photo-0004.jpg",
                                 "Photo-0001.jpg"};
        QTRY_COMPARE(shownNames(strip), folded);
        const std::string head = folder + "Photo-0004.jpg";
        QCOMPARE(cull->group(head).count, 3);
        QVERIFY(cull->group(folder + "Photo-0003.jpg").hidden);
        QCOMPARE(cull->group(folder + "Photo-0005.jpg"), GroupMark{});   // alone: no group
        // The count is drawn on the head's thumbnail, once its thumbnail is in.
        QTRY_VERIFY(strip->item(2)->data(reviewrole::Loaded).toBool());
        QTRY_VERIFY(badgePixels(itemNamed(strip, "Photo-0004.jpg")) > 40);
        QCOMPARE(badgePixels(itemNamed(strip, "Photo-0006.jpg")), 0);

        // E on the head: every picture of the series; again: folded, the head selected.
        strip->setFocus();
        strip->setCurrentItem(itemNamed(strip, "Photo-0004.jpg"));
        QAction* toggle = strip->findChild<QAction*>(QStringLiteral("reviewExpandSeries"));
        QVERIFY(toggle);
        QCOMPARE(toggle->text(), QStringLiteral("Expand Series"));
        QTest::keyClick(strip, Qt::Key_E);
        QCOMPARE(shownNames(strip).size(), 6);
        QCOMPARE(toggle->text(), QStringLiteral("Collapse Series"));
        QVERIFY(cull->group(folder + "Photo-0002.jpg").expanded);
        strip->setCurrentItem(itemNamed(strip, "Photo-0002.jpg"));
        QTest::keyClick(strip, Qt::Key_E);
        QCOMPARE(shownNames(strip), folded);
        QCOMPARE(strip->currentItem(), itemNamed(strip, "Photo-0004.jpg"));

        // Keywords written after the listing (as a run tags its pictures): grouped on the next look.
        QCOMPARE(picture::WriteSeriesKeyword(folder + "Photo-0006.jpg", "Bracket 2: 0 EV"),
                 std::string());
        QCOMPARE(picture::WriteSeriesKeyword(folder + "Photo-0001.jpg", "Bracket 2: -1 EV"),
                 std::string());
        QTRY_COMPARE(shownNames(strip),
                     (QStringList{"Photo-0006.jpg", "Photo-0005.jpg", "Photo-0004.jpg"}));
        QCOMPARE(cull->group(folder + "Photo-0006.jpg").count, 2);
    }
};

QTEST_MAIN(TestReviewSeries)
#include "ReviewSeriesTest.moc"
