// The Review tab's large view below the panel: the decode-ahead cache's queue under a held arrow
// key (a decoder held back by the test, so the bookkeeping is exact, not a matter of timing) and
// its memory bound; focus peaking on a fitted picture against the whole picture's edges.
#include "support/JpegFixture.h"
#include "support/PaneTestSupport.h"

#include "capture/CPictureControl.h"
#include "capture/CViewViewscreen.h"
#include "capture/LargeViewCache.h"
#include "capture/LargeViewer.h"
#include "views/CViewInfo.h"

#include <QTest>

#include <condition_variable>
#include <mutex>

using namespace testsupport;

namespace {

std::vector<std::string> names(int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back("p" + std::to_string(100 + i));
    return out;
}

// A picture 1600 x 1200: black left of x = 400 and white from there (a sharp edge), then a
// ramp back to black over 16 pixels from x = 1200 (an edge soft at 100 %).
std::string edges() {
    constexpr int w = 1600, h = 1200;
    std::vector<std::uint8_t> rgb(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = x < 400 ? 0 : x < 1200 ? 255 : std::max(0, 255 - (x - 1200) * 16);
            std::fill_n(&rgb[(std::size_t(y) * w + x) * 3], 3, static_cast<std::uint8_t>(v));
        }
    return CompressJpeg(rgb.data(), w, h, 95, TJSAMP_444);
}

// Peaking marks in the columns [from, to) of the control as drawn on screen.
int marks(QWidget* control, double from, double to) {
    const QImage shot = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = int(from * shot.width()); x < int(to * shot.width()); ++x)
            count += (shot.pixel(x, y) | 0xff000000u) == kPeakingColour;
    return count;
}

}   // namespace

class TestLargeView : public QObject {
    Q_OBJECT
private slots:
    void aHeldKeyNeverQueuesPassedWork() {
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
        LargeViewCache cache(
            nullptr,
            [&](const std::string& path, QSize, bool, bool) {
                std::unique_lock hold(lock);
                opened.wait(hold, [&] { return open; });
                LargeViewCache::View view;
                view.path = path;
                view.image = QImage(8, 6, QImage::Format_RGB32);
                view.image.fill(Qt::gray);
                return view;
            },
            2);
        const auto release = [&] {
            {
                std::lock_guard guard(lock);
                open = true;
            }
            opened.notify_all();
        };
        // Whatever fails, the decoders are let go before the cache waits for them.
        const std::unique_ptr<void, std::function<void(void*)>> letGo(&cache,
                                                                      [&](void*) { release(); });
        std::vector<std::string> onScreen;
        cache.onView = [&](const LargeViewCache::View& v) { onScreen.push_back(v.path); };
        const std::vector<std::string> pictures = names(40);
        const auto show = [&](std::size_t i) {
            std::vector<std::string> ahead(pictures.begin() + i + 1, pictures.end());
            std::vector<std::string> behind;
            if (i > 0) behind.push_back(pictures[i - 1]);
            cache.Show(pictures[i], ahead, behind);
        };
        show(0);
        QTRY_COMPARE(cache.started().size(), 2u);   // both workers held in their decodes
        // Right held: twenty steps while the two decodes under way go on.
        for (std::size_t i = 1; i <= 20; ++i) show(i);
        // The steps outpace the decodes: only the picture wanted now waits.
        QCOMPARE(cache.queued(), std::vector<std::string>{"p120"});
        release();
        QTRY_VERIFY(cache.queued().empty() && cache.has("p119") && cache.has("p123"));
        QCOMPARE(cache.started(), (std::vector<std::string>{"p100", "p101", "p120", "p121", "p122",
                                                            "p123", "p119"}));
        // The wanted one on screen last; before it at most the one wanted first (its decode was
        // under way), never one decoded ahead and passed.
        QCOMPARE(onScreen.back(), std::string("p120"));
        QVERIFY(onScreen.size() == 1 || onScreen == (std::vector<std::string>{"p100", "p120"}));
        // Stepping on keeps memory bounded: at most kMaxViews, the shown one among them.
        for (std::size_t i = 21; i < 40; ++i) {
            show(i);
            QTRY_VERIFY(cache.has(pictures[i]));
        }
        int kept = 0;
        for (const std::string& p : pictures) kept += cache.has(p);
        QVERIFY2(kept <= int(LargeViewCache::kMaxViews), qPrintable(QString::number(kept)));
        QVERIFY(cache.has("p138") && cache.has("p139"));
        QCOMPARE(onScreen.back(), std::string("p139"));
    }

    // A step to a picture not decoded yet shows its thumbnail at once with its name alone (no
    // line or histogram of the picture before); an earlier step's decode that ends later never
    // takes the view back; the decode, with its shooting data, replaces the thumbnail.
    void aStandInShowsAtOnceAndNoEarlierStepFollowsIt() {
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
        const auto release = [&] {
            {
                std::lock_guard guard(lock);
                open = true;
            }
            opened.notify_all();
        };
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        CViewInfo info(fx.doc.get());
        screen.show();
        LargeViewer viewer(fx.doc.get(), nullptr, [&](const std::string& path, QSize, bool, bool) {
            std::unique_lock hold(lock);
            opened.wait(hold, [&] { return open; });
            LargeViewCache::View view;
            view.image = QImage(400, 300, QImage::Format_RGB32);
            view.image.fill(QColor(90, 90, 90));
            view.caption = QString::fromStdString(path) + "   1/125 s";
            view.histogram = std::make_shared<RgbHistogram>();
            return view;
        });
        const std::unique_ptr<void, std::function<void(void*)>> letGo(&viewer,
                                                                      [&](void*) { release(); });
        std::vector<std::string> shown;
        viewer.onShown = [&](const std::string& path) { shown.push_back(path); };
        QImage red(128, 96, QImage::Format_RGB32), blue(128, 96, QImage::Format_RGB32);
        red.fill(Qt::red);
        blue.fill(Qt::blue);
        const auto middle = [&] {
            const QImage& image = screen.picture(CViewViewscreen::LivePicture)->image();
            return QColor(image.pixel(image.width() / 2, image.height() / 2));
        };

        viewer.Show("p100.jpg", {}, {}, red);
        QVERIFY(screen.showingPicture());
        QCOMPARE(middle(), QColor(Qt::red));
        QCOMPARE(screen.pictureCaption(), QStringLiteral("p100.jpg"));
        QVERIFY(!info.showingPictureHistogram());
        QTRY_COMPARE(viewer.cache().started().size(), 1u);   // p100's decode under way
        viewer.Show("p101.jpg", {}, {}, blue);
        QCOMPARE(middle(), QColor(Qt::blue));
        QCOMPARE(screen.pictureCaption(), QStringLiteral("p101.jpg"));
        // The other worker takes p101 while the first is busy with p100.
        QTRY_COMPARE(viewer.cache().started().size(), 2u);
        release();
        QTRY_COMPARE(shown, std::vector<std::string>{"p101.jpg"});
        QCOMPARE(middle(), QColor(90, 90, 90));
        QCOMPARE(screen.pictureCaption(), QStringLiteral("p101.jpg   1/125 s"));
        QVERIFY(info.showingPictureHistogram());
        QTRY_VERIFY(viewer.cache().has("p100.jpg"));
        QTest::qWait(0);
        QCOMPARE(shown.size(), 1u);   // p100's decode, ended meanwhile, stayed off screen
        // Back to it: decoded already, so no thumbnail in between.
        viewer.Show("p100.jpg", {}, {}, red);
        QTRY_COMPARE(shown.back(), std::string("p100.jpg"));
        QCOMPARE(screen.pictureCaption(), QStringLiteral("p100.jpg   1/125 s"));
        viewer.Hide();
        QVERIFY(!screen.showingPicture());
        QCOMPARE(screen.pictureCaption(), QString());
    }

    // Maximised, the pane is larger than the live picture's grid: a picture shown large takes
    // all of it below the caption, and the live view its grid again.
    void aPictureShownLargeTakesTheWholePane() {
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        screen.resize(1200, 820);
        CPictureControl* control = screen.picture(CViewViewscreen::LivePicture);
        QCOMPARE(control->size(), QSize(320, 240));
        QCOMPARE(screen.largeViewSize(), QSize(1200, 800));
        QImage picture(1600, 1200, QImage::Format_RGB32);
        picture.fill(Qt::white);
        screen.ShowPicture(picture);
        QCOMPARE(control->geometry(), QRect(0, 20, 1200, 800));
        const QImage& shown = control->image();
        QCOMPARE(shown.size(), QSize(1200, 800));
        QCOMPARE(qGray(shown.pixel(600, 400)), 255);   // fitted: 1067 x 800 in the middle
        QCOMPARE(qGray(shown.pixel(40, 400)), 0);
        screen.ShowLive();
        QCOMPARE(control->geometry(), QRect(0, 20, 320, 240));
    }

    // Fitted, a soft edge looks sharp; the marks come from the whole picture, so only the
    // edge sharp at 100 % is marked. At 100 % the control marks the whole picture itself.
    void peakingOnAFittedPictureMarksOnlyEdgesSharpAt100Percent() {
        DocFixture fx;
        const std::string path = fx.dir.path().toStdString() + "/edges.jpg";
        WriteFile(path, edges());
        CViewViewscreen screen(fx.doc.get());
        screen.resize(340, 280);
        screen.show();
        screen.setFocusPeaking(true);
        QWidget* control = screen.picture(CViewViewscreen::LivePicture);
        const LargeViewCache::View view =
            LargeViewCache::Decode(path, control->size(), false, true);
        QVERIFY2(!view.image.isNull(), qPrintable(view.error));
        QCOMPARE(view.full, QSize(1600, 1200));
        QVERIFY(view.image.width() < 1600);
        screen.ShowPicture(view.image, view.full, view.peaking);
        QVERIFY(marks(control, 0.2, 0.3) > 50);   // the sharp edge at a quarter
        QCOMPARE(marks(control, 0.7, 0.9), 0);    // the soft one at three quarters
        // At 100 % on the soft edge: the whole picture, no marks there either.
        screen.ToggleActualSize(QPoint(control->width() * 3 / 4, control->height() / 2));
        screen.ShowSharpPicture(LargeViewCache::Decode(path, {}, true, false).image);
        QVERIFY(screen.showingSharp());
        QCOMPARE(marks(control, 0.0, 1.0), 0);
    }
};

QTEST_MAIN(TestLargeView)
#include "LargeViewTest.moc"
