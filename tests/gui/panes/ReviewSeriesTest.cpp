// A series on the Review strip over a real capture folder: the pictures whose sidecars carry one
// bracket's keyword show as one thumbnail (the newest) with the count drawn on it, E expands the
// group and folds it again, a lone series picture and other pictures stay as they are, and a
// keyword written after the picture was listed groups it within the strip's next look.
#include "support/ReviewTestSupport.h"

#include "capture/ReviewCull.h"
#include "capture/SeriesGroups.h"
#include "picture/Sidecar.h"

#include <QAction>
#include <QTest>

using namespace testsupport;

namespace {

// Dark badge pixels in the icon's top right corner, where the count is drawn on a light picture.
int badgePixels(const QListWidgetItem* item) {
    const QImage image = StripIcon(item);
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
        ReviewPanelFixture p;
        const std::string& folder = p.folder;
        const char* keywords[] = {nullptr,
                                  "Bracket 1: -1 EV",
                                  "Bracket 1: 0 EV",
                                  "Bracket 1: +1 EV",
                                  "Focus stack 1: 1 of 1",
                                  nullptr};
        for (int n = 1; n <= 6; ++n) {
            const std::string path = folder + "Photo-000" + std::to_string(n) + ".jpg";
            WriteShadedJpeg(path, 220);
            if (keywords[n - 1])
                QCOMPARE(picture::WriteSeriesKeyword(path, keywords[n - 1]), std::string());
        }
        QListWidget* strip = p.show();
        ReviewCull* cull = p.review->cull();
        QTRY_COMPARE(strip->count(), 6);
        const QStringList folded{"Photo-0006.jpg", "Photo-0005.jpg", "Photo-0004.jpg",
                                 "Photo-0001.jpg"};
        QTRY_COMPARE(ShownNames(strip), folded);
        const std::string head = folder + "Photo-0004.jpg";
        QCOMPARE(cull->group(head).count, 3);
        QVERIFY(cull->group(folder + "Photo-0003.jpg").hidden);
        QCOMPARE(cull->group(folder + "Photo-0005.jpg"), GroupMark{});   // alone: no group
        // The count is drawn on the head's thumbnail, once its thumbnail is in.
        QTRY_VERIFY(strip->item(2)->data(reviewrole::Loaded).toBool());
        QTRY_VERIFY(badgePixels(StripItemNamed(strip, "Photo-0004.jpg")) > 40);
        QCOMPARE(badgePixels(StripItemNamed(strip, "Photo-0006.jpg")), 0);

        // E on the head: every picture of the series; again: folded, the head selected.
        strip->setFocus();
        strip->setCurrentItem(StripItemNamed(strip, "Photo-0004.jpg"));
        QAction* toggle = strip->findChild<QAction*>(QStringLiteral("reviewExpandSeries"));
        QVERIFY(toggle);
        QCOMPARE(toggle->text(), QStringLiteral("Expand Series"));
        QTest::keyClick(strip, Qt::Key_E);
        QCOMPARE(ShownNames(strip).size(), 6);
        QCOMPARE(toggle->text(), QStringLiteral("Collapse Series"));
        QVERIFY(cull->group(folder + "Photo-0002.jpg").expanded);
        strip->setCurrentItem(StripItemNamed(strip, "Photo-0002.jpg"));
        QTest::keyClick(strip, Qt::Key_E);
        QCOMPARE(ShownNames(strip), folded);
        QCOMPARE(strip->currentItem(), StripItemNamed(strip, "Photo-0004.jpg"));

        // Keywords written after the listing (as a run tags its pictures): grouped on the next look.
        QCOMPARE(picture::WriteSeriesKeyword(folder + "Photo-0006.jpg", "Bracket 2: 0 EV"),
                 std::string());
        QCOMPARE(picture::WriteSeriesKeyword(folder + "Photo-0001.jpg", "Bracket 2: -1 EV"),
                 std::string());
        QTRY_COMPARE(ShownNames(strip),
                     (QStringList{"Photo-0006.jpg", "Photo-0005.jpg", "Photo-0004.jpg"}));
        QCOMPARE(cull->group(folder + "Photo-0006.jpg").count, 2);
    }
};

QTEST_MAIN(TestReviewSeries)
#include "ReviewSeriesTest.moc"
