// The Info pane: battery text, progress bar, histogram drawing, capture folder and name boxes,
// camera facts, and where its rows sit in the main window.
#include "support/ThreadWait.h"
#include "support/PaneTestSupport.h"

#include "app/CMainFrame.h"
#include "capture/CViewViewscreen.h"
#include "document/NameTemplate.h"
#include "kit/CLabel.h"
#include "resources/Resources.h"
#include "views/CViewInfo.h"
#include "views/CViewSetting.h"

#include <QCheckBox>
#include <algorithm>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QtTest>

using namespace testsupport;

namespace {
QProgressBar* progressOf(const CViewInfo& info) {
    return Child<QProgressBar>(info, "captureProgress");
}
QLineEdit* nameBoxOf(const CViewInfo& info) { return Child<QLineEdit>(info, "captureName"); }
QLineEdit* folderBoxOf(const CViewInfo& info) { return Child<QLineEdit>(info, "captureFolder"); }
QLabel* fieldOf(const CViewInfo& info, const char* name) { return Child<QLabel>(info, name); }

// What a line edit spends around its text: the style's frame and padding (outside its contents
// rectangle), the edit's own two pixels a side, its text margins and the cursor's pixel.
int lineEditMargins(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.hasFrame()
                           ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit)
                           : 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents =
        edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    const QMargins text = edit.textMargins();
    return edit.width() - contents.width() + 2 * 2 + text.left() + text.right() + 1;
}

// The Info pane's caption label with this text.
const QLabel* infoCaption(const CViewInfo& info, const char* text) {
    for (const QLabel* label : info.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->text() == QLatin1String(text)) return label;
    qFatal("no caption %s", text);
}
}   // namespace

class InfoPaneTest : public QObject {
    Q_OBJECT
private slots:
    // Every caption of the info and settings panes is drawn at one size (none shrunk alone to
    // fit), and the AF Lock box is shown whole.
    void captionsReadEvenly() {
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        CViewSetting setting(fx.doc.get());
        for (const QWidget* pane :
             {static_cast<QWidget*>(&info), static_cast<QWidget*>(&setting)}) {
            QSet<int> sizes;
            for (const QLabel* label : pane->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
                if (!label->text().isEmpty())
                    sizes.insert(CLabel::FittedFont(label->font(), label->text(), label->width())
                                     .pixelSize());
            QCOMPARE(sizes.size(), 1);
        }
        const QCheckBox* box = setting.findChild<QCheckBox*>(QStringLiteral("afLock"));
        QVERIFY(box->width() >= box->sizeHint().width());
        QVERIFY(box->height() >= box->sizeHint().height());
    }

    // In the main window, at 800 x 600, at the narrowest window that keeps the Info pane (125
    // pixels wide) and at a large one: the template box shows its default text whole, the next
    // name has a row of its own (off the histogram's caption and the histogram), and every
    // control shown lies inside the pane, clear of the others.
    void rowsFitTheWindow_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<int>("paneWidth");
        QTest::newRow("800x600") << QSize(800, 600) << 266;
        QTest::newRow("minimum") << QSize(659, 600) << 125;
        QTest::newRow("1600x1000") << QSize(1600, 1000) << 846;
    }
    void rowsFitTheWindow() {
        QFETCH(QSize, client);
        QFETCH(int, paneWidth);
        kestrelInitResources();
        DocFixture fx;
        const QString previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(fx.dir.path()));
        {
            CMainFrame frame(fx.doc.get());
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.resize(client.width(), client.height() + frame.menuBar()->height());
            QTRY_COMPARE(frame.centralWidget()->size(), client);
            auto* info = static_cast<CViewInfo*>(frame.pane(3));
            QVERIFY(info->isVisible());
            QCOMPARE(info->width(), paneWidth);

            QLineEdit* nameTemplate = Child<QLineEdit>(*info, "nameTemplate");
            QCOMPARE(nameTemplate->text(), QString::fromLatin1(NameTemplate::kDefault));
            QVERIFY(nameTemplate->isVisible());
            const int advance = nameTemplate->fontMetrics().horizontalAdvance(nameTemplate->text());
            QVERIFY2(nameTemplate->width() >= advance + lineEditMargins(*nameTemplate),
                     qPrintable(QStringLiteral("template box %1 wide, its text %2 and margins %3")
                                    .arg(nameTemplate->width())
                                    .arg(advance)
                                    .arg(lineEditMargins(*nameTemplate))));
            // Shown from its start, the box's right end reaches the end of the text.
            QCOMPARE(nameTemplate->cursorPositionAt(QPoint(nameTemplate->width() - 1, 7)),
                     static_cast<int>(nameTemplate->text().size()));

            const QWidget* next = Child<QWidget>(*info, "nextName");
            QVERIFY(next->isVisible());
            const QRect nextRect = next->geometry();
            QVERIFY(!nextRect.isEmpty());
            QVERIFY(!nextRect.intersects(infoCaption(*info, "Histogram")->geometry()));
            QVERIFY(!nextRect.intersects(Child<QWidget>(*info, "histogram")->geometry()));

            QList<const QWidget*> shown;
            for (const QWidget* child : info->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->isVisible() && !child->geometry().isEmpty()) shown << child;
            for (const QWidget* child : shown) {
                const QString what =
                    child->objectName().isEmpty() && qobject_cast<const QLabel*>(child)
                        ? static_cast<const QLabel*>(child)->text()
                        : child->objectName();
                QVERIFY2(info->rect().contains(child->geometry()), qPrintable(what));
                // A row of its own: nothing else shown at the height of the next name.
                if (child != next)
                    QVERIFY2(child->geometry().bottom() < nextRect.top() ||
                                 child->geometry().top() > nextRect.bottom(),
                             qPrintable(what + QStringLiteral(" on the row of the next name")));
                for (const QWidget* other : shown)
                    if (other != child)
                        QVERIFY2(
                            !child->geometry().intersects(other->geometry()),
                            qPrintable(what + QStringLiteral(" overlaps ") + other->objectName()));
            }
        }
        QVERIFY(QDir::setCurrent(previousDir));
    }

    void init() {
        sim::CameraSpec cam = sim::fullCamera("PowerShot Test");
        cam.owner = "Night Desk";
        cam.battery = 4;
        ResetSimulators(WorldOf({cam}), WorldOf({}));
    }

    void batteryText_data() {
        QTest::addColumn<uint>("level");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << 0u << "0%";
        QTest::newRow("one sixth rounds up") << 1u << "17%";
        QTest::newRow("half") << 3u << "50%";
        QTest::newRow("two thirds") << 4u << "67%";
        QTest::newRow("full") << 6u << "100%";
        QTest::newRow("no upper limit") << 12u << "200%";
    }
    void batteryText() {
        QFETCH(uint, level);
        QFETCH(QString, text);
        QCOMPARE(CViewInfo::BatteryText(level), text);
    }

    void progressEmptiesAtNinetyNine_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("shown");
        QTest::newRow("start") << 0 << 0;
        QTest::newRow("half") << 50 << 50;
        QTest::newRow("last below") << 98 << 98;
        QTest::newRow("ninety-nine") << 99 << 0;
        QTest::newRow("complete") << 100 << 0;
    }
    void progressEmptiesAtNinetyNine() {
        QFETCH(int, value);
        QFETCH(int, shown);
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        info.SetProgress(42);
        // The receiver posts the change: nothing moves until the event loop runs it.
        CViewInfo::ShowProgress(value);
        QCOMPARE(progressOf(info)->value(), 42);
        QTRY_COMPARE_WITH_TIMEOUT(progressOf(info)->value(), shown, kThreadWaitMs);
    }

    void burstOfProgressEndsAtTheLastValue() {
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        for (int v = 0; v <= 100; v += 10) CViewInfo::ShowProgress(v);
        CViewInfo::ShowProgress(30);
        QTRY_COMPARE_WITH_TIMEOUT(progressOf(info)->value(), 30, kThreadWaitMs);
    }

    void histogramPolygonFlatWithoutPeak() {
        std::array<float, 256> bins{};
        bins[10] = 5.0f;   // ignored: the peak says there is nothing
        const QPolygon p = CViewInfo::HistogramPolygon(bins, 0.0f, 100, 40);
        QCOMPARE(p.size(), 257);
        for (const QPoint& pt : p) QCOMPARE(pt.y(), 39);
        QCOMPARE(p.first(), QPoint(0, 39));
        QCOMPARE(p.last(), QPoint(99, 39));
    }

    void histogramPolygonSpike_data() {
        QTest::addColumn<int>("bin");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("x");
        QTest::newRow("first bin") << 0 << 256 << 50 << 0;
        QTest::newRow("middle") << 128 << 256 << 50 << 128;
        QTest::newRow("narrow surface truncates") << 100 << 100 << 30 << 38;   // 100/255*99
        QTest::newRow("last drawn bin") << 254 << 256 << 50 << 254;
    }
    void histogramPolygonSpike() {
        QFETCH(int, bin);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, x);
        std::array<float, 256> bins{};
        bins[bin] = 7.0f;
        bins[(bin + 3) % 255] = 3.5f;   // half the peak
        const QPolygon p = CViewInfo::HistogramPolygon(bins, 7.0f, w, h);
        QCOMPARE(p.size(), 257);
        QCOMPARE(p[1 + bin], QPoint(x, 0));
        QCOMPARE(p[1 + (bin + 3) % 255].y(), static_cast<int>((h - 1) - (h - 1) * 0.5));
        QCOMPARE(p.first(), QPoint(0, h - 1));
        QCOMPARE(p.last(), QPoint(w - 1, h - 1));
    }

    void drawsTheDocumentsHistogram() {
        // The viewscreen starts black: every pixel in bin 0, so a spike at the left edge.
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        CViewInfo info(fx.doc.get());
        QImage surface(256, 50, QImage::Format_RGB32);
        surface.fill(Qt::red);
        {
            QPainter painter(&surface);
            info.DrawHistogram(painter, 256, 50);
        }
        QCOMPARE(surface.pixel(0, 0), qRgb(0, 0, 0));   // the spike reaches the top
        QCOMPARE(surface.pixel(128, 0), qRgb(255, 255, 255));
        QCOMPARE(surface.pixel(128, 25), qRgb(255, 255, 255));
        QCOMPARE(surface.pixel(128, 49), qRgb(0, 0, 0));   // the outline along the bottom
        QCOMPARE(surface.pixel(255, 0), qRgb(255, 255, 255));
    }

    // A picture's clipped counts have a band of their own: no letter over a curve, no curve
    // under a letter, whatever the counts (a spike at the top-left, where text would go).
    void clippedCountsNeverCoverThePicturesHistogram() {
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        RgbHistogram rgb;
        for (auto& channel : rgb.counts) channel.fill(100);
        for (auto& channel : rgb.counts) channel[0] = channel[1] = 4000;
        rgb.peak = 4000;
        rgb.clipped = {123456, 7, 89};
        info.ShowPictureHistogram(&rgb);
        constexpr int w = 256, h = 60;
        QImage surface(w, h, QImage::Format_RGB32);
        {
            QPainter painter(&surface);
            info.DrawHistogram(painter, w, h);
        }
        const auto white = [](QRgb p) {
            return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
        };
        const auto tinted = [](QRgb p) {
            return std::max({qRed(p), qGreen(p), qBlue(p)}) -
                       std::min({qRed(p), qGreen(p), qBlue(p)}) >
                   60;
        };
        int letters = 0, curve = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb p = surface.pixel(x, y);
                const bool band = y >= h - CViewInfo::kClippedBand;
                if (band && white(p)) ++letters;
                if (band)
                    QVERIFY2(!tinted(p),
                             qPrintable(QStringLiteral("curve at %1,%2").arg(x).arg(y)));
                else {
                    QVERIFY2(!white(p), qPrintable(QStringLiteral("text at %1,%2").arg(x).arg(y)));
                    curve += tinted(p);
                }
            }
        QVERIFY(letters > 20 && curve > 200);
        QCOMPARE(CViewInfo::ClippedText(rgb), QStringLiteral("Clipped R 123456  G 7  B 89"));
    }

    void histogramFollowsResize() {
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        info.show();
        info.resize(300, 400);
        QCOMPARE(info.histogramRect(), QRect(10, 202, 280, 188));
        QCOMPARE(Child<QWidget>(info, "histogram")->geometry(), info.histogramRect());
        QCOMPARE(progressOf(info)->geometry(), QRect(100, 148, 190, 12));
        info.resize(10, 100);   // smaller than the histogram: nothing to draw, nothing breaks
        QCOMPARE(Child<QWidget>(info, "histogram")->size(), QSize(0, 0));
        info.grab();
    }

    void captureNameBoxHoldsAtMost99() {
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        QCOMPARE(nameBoxOf(info)->text(), QString::fromStdString(fx.doc->captureName()));
        nameBoxOf(info)->clear();
        const QString typed = QString(60, QLatin1Char('a')) + QString(60, QLatin1Char('b'));
        QTest::keyClicks(nameBoxOf(info), typed);
        QCOMPARE(nameBoxOf(info)->text(), typed.left(99));
        QCOMPARE(QString::fromStdString(fx.doc->captureName()), typed.left(99));
        nameBoxOf(info)->setText(QString(150, QLatin1Char('c')));
        QCOMPARE(fx.doc->captureName(), std::string(99, 'c'));
        QCOMPARE(nameBoxOf(info)->text().size(), 99);
    }

    void aLoadedNameIsShownAndKeptUntilEdited() {
        DocFixture fx;
        for (const std::string& name : {std::string(150, 'n'), std::string("Ph\xFFoto")}) {
            fx.doc->SetCaptureName(name);
            CViewInfo info(fx.doc.get());
            QCOMPARE(fx.doc->captureName(), name);
            QCOMPARE(nameBoxOf(info)->text(), QString::fromStdString(name));
        }
    }

    void folderComesOnlyFromBrowse() {
        DocFixture fx;
        fx.doc->SetCaptureFolder("/captures/start/");
        CViewInfo info(fx.doc.get());
        QCOMPARE(folderBoxOf(info)->text(), QStringLiteral("/captures/start/"));
        QVERIFY(folderBoxOf(info)->isReadOnly());
        QTest::keyClicks(folderBoxOf(info), QStringLiteral("zzz"));
        QCOMPARE(folderBoxOf(info)->text(), QStringLiteral("/captures/start/"));
        QCOMPARE(fx.doc->captureFolder(), std::string("/captures/start/"));

        info.ApplyChosenFolder(QString());   // cancelled
        QCOMPARE(fx.doc->captureFolder(), std::string("/captures/start/"));
        info.ApplyChosenFolder(QStringLiteral("/media/card"));
        QCOMPARE(fx.doc->captureFolder(), std::string("/media/card/"));
        QCOMPARE(folderBoxOf(info)->text(), QStringLiteral("/media/card/"));
        info.ApplyChosenFolder(QStringLiteral("/"));   // the root ends in two separators
        QCOMPARE(fx.doc->captureFolder(), std::string("//"));
    }

    void factsOfTheOpenCamera() {
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        info.UpdateInfo();
        QCOMPARE(fieldOf(info, "infoName")->text(), QString());
        QCOMPARE(fieldOf(info, "infoBattery")->text(), QString());

        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("PowerShot Test"));
        info.UpdateInfo();
        QCOMPARE(fieldOf(info, "infoName")->text(), QStringLiteral("PowerShot Test"));
        QCOMPARE(fieldOf(info, "infoOwner")->text(), QStringLiteral("Night Desk"));
        QCOMPARE(fieldOf(info, "infoFirmware")->text(), QStringLiteral("1.1.1"));
        QCOMPARE(fieldOf(info, "infoBattery")->text(), QStringLiteral("67%"));

        // A battery event from the camera reaches the field through a posted call, which shows
        // the level the event brought.
        sim::Simulator::cd().setBattery("PowerShot Test", 3);
        QTRY_COMPARE_WITH_TIMEOUT(fieldOf(info, "infoBattery")->text(), QStringLiteral("50%"),
                                  kThreadWaitMs);

        fx.doc->cdDriver().Disconnect();
        info.UpdateInfo();
        for (const char* field : {"infoName", "infoOwner", "infoFirmware", "infoBattery"})
            QCOMPARE(fieldOf(info, field)->text(), QString());
    }
};

QTEST_MAIN(InfoPaneTest)
#include "InfoPaneTest.moc"
