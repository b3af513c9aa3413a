// The splitter layout rule on its own: sizes in, rectangles out.
#include "kit/SplitterLayout.h"

#include <QTest>

using kit::ComputeSplitterLayout;
using kit::LayoutTracks;
using kit::SplitterTrack;
using Tracks = std::vector<SplitterTrack>;
using Sizes = std::vector<int>;

Q_DECLARE_METATYPE(Tracks)
Q_DECLARE_METATYPE(Sizes)

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void tracks_data();
    void tracks();
    void paneTreeAt800x600();
    void infoPaneHidesBelow125_data();
    void infoPaneHidesBelow125();
    void zeroSizeIsNotLaidOut_data();
    void zeroSizeIsNotLaidOut();
    void barsFollowPanes();
};

void TestLayout::tracks_data() {
    QTest::addColumn<Tracks>("tracks");
    QTest::addColumn<int>("space");
    QTest::addColumn<Sizes>("expected");

    // Two panes, the first with ideal 200, minimum 10.
    const Tracks two{{200, 10}, {0, 0}};
    QTest::newRow("ideal fits, last takes rest") << two << 598 << Sizes{200, 392};
    QTest::newRow("one pixel after gap") << two << 207 << Sizes{200, 1};
    QTest::newRow("exactly the gap left: first takes it less 4") << two << 206 << Sizes{202, 0};
    QTest::newRow("less than gap left: first takes it less 4") << two << 203 << Sizes{199, 0};
    QTest::newRow("ideal exactly fills") << two << 200 << Sizes{196, 0};
    QTest::newRow("too small for ideal, 4 or less kept") << two << 3 << Sizes{3, 0};
    QTest::newRow("too small for ideal, 5 loses 4") << two << 5 << Sizes{1, 0};
    QTest::newRow("zero space") << two << 0 << Sizes{0, 0};
    QTest::newRow("negative space counts as zero") << two << -20 << Sizes{0, 0};
    QTest::newRow("ideal below minimum asks nothing")
        << Tracks{{5, 10}, {0, 0}} << 100 << Sizes{0, 94};
    QTest::newRow("ideal zero asks nothing") << Tracks{{0, 0}, {0, 0}} << 50 << Sizes{0, 44};
    // The last pane's minimum hides it; its room goes to the first plus 2.
    const Tracks info{{320, 10}, {0, 125}};
    QTest::newRow("info fits with 125") << info << 451 << Sizes{320, 125};
    QTest::newRow("info 124 hidden") << info << 450 << Sizes{446, 0};
    QTest::newRow("info much wider") << info << 592 << Sizes{320, 266};
    QTest::newRow("first pane ideal below its minimum gets nothing")
        << Tracks{{320, 400}, {0, 0}} << 300 << Sizes{0, 294};
    QTest::newRow("single pane takes all") << Tracks{{50, 10}} << 77 << Sizes{77};
    QTest::newRow("three panes, middle hidden by its minimum")
        << Tracks{{100, 10}, {50, 60}, {0, 0}} << 150 << Sizes{146, 0, 0};
    QTest::newRow("three panes all shown")
        << Tracks{{100, 10}, {50, 10}, {0, 0}} << 300 << Sizes{100, 50, 138};
}

void TestLayout::tracks() {
    QFETCH(Tracks, tracks);
    QFETCH(int, space);
    QFETCH(Sizes, expected);
    QCOMPARE(LayoutTracks(tracks, space), expected);
}

// The frame's whole tree laid out splitter by splitter; a nested splitter's client is its pane
// rectangle plus one pixel all round.
void TestLayout::paneTreeAt800x600() {
    auto nested = [](const QRect& pane) { return pane.adjusted(-1, -1, 1, 1).size(); };

    const auto root = ComputeSplitterLayout({800, 600}, {{0, 0}}, {{200, 10}, {0, 0}});
    QVERIFY(root.valid);
    QCOMPARE(root.panes[0], QRect(1, 1, 200, 598));
    QCOMPARE(root.panes[1], QRect(207, 1, 592, 598));

    const auto list = ComputeSplitterLayout(nested(root.panes[0]), {{100, 10}, {0, 0}}, {{0, 0}});
    QCOMPARE(list.panes[0], QRect(1, 1, 200, 100));     // camera list
    QCOMPARE(list.panes[1], QRect(1, 107, 200, 492));   // settings

    const auto rows = ComputeSplitterLayout(nested(root.panes[1]), {{260, 10}, {0, 0}}, {{0, 0}});
    QCOMPARE(rows.panes[0], QRect(1, 1, 592, 260));
    QCOMPARE(rows.panes[1], QRect(1, 267, 592, 332));

    const auto columns =
        ComputeSplitterLayout(nested(rows.panes[0]), {{0, 0}}, {{320, 10}, {0, 125}});
    QCOMPARE(columns.panes[0], QRect(1, 1, 320, 260));     // viewscreen
    QCOMPARE(columns.panes[1], QRect(327, 1, 266, 260));   // info

    const auto console =
        ComputeSplitterLayout(nested(rows.panes[1]), {{200, 10}, {0, 0}}, {{0, 0}});
    QCOMPARE(console.panes[0], QRect(1, 1, 592, 200));     // capture panels
    QCOMPARE(console.panes[1], QRect(1, 207, 592, 126));   // console
}

void TestLayout::infoPaneHidesBelow125_data() {
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<QRect>("viewscreen");
    QTest::addColumn<QRect>("info");
    QTest::newRow("wide") << 600 << QRect(1, 1, 320, 98) << QRect(327, 1, 272, 98);
    QTest::newRow("info exactly 125") << 453 << QRect(1, 1, 320, 98) << QRect(327, 1, 125, 98);
    QTest::newRow("info would be 124") << 452 << QRect(1, 1, 446, 98) << QRect();
    QTest::newRow("narrower than viewscreen") << 200 << QRect(1, 1, 194, 98) << QRect();
}

void TestLayout::infoPaneHidesBelow125() {
    QFETCH(int, clientWidth);
    QFETCH(QRect, viewscreen);
    QFETCH(QRect, info);
    const auto layout = ComputeSplitterLayout({clientWidth, 100}, {{0, 0}}, {{320, 10}, {0, 125}});
    QCOMPARE(layout.panes[0], viewscreen);
    QCOMPARE(layout.panes[1], info);
}

void TestLayout::zeroSizeIsNotLaidOut_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("zero width") << QSize(0, 600);
    QTest::newRow("zero height") << QSize(800, 0);
    QTest::newRow("negative") << QSize(-1, -1);
}

void TestLayout::zeroSizeIsNotLaidOut() {
    QFETCH(QSize, size);
    const auto layout = ComputeSplitterLayout(size, {{0, 0}}, {{200, 10}, {0, 0}});
    QVERIFY(!layout.valid);
    QVERIFY(layout.panes.empty());
}

void TestLayout::barsFollowPanes() {
    auto layout = ComputeSplitterLayout({600, 100}, {{0, 0}}, {{320, 10}, {0, 125}});
    QCOMPARE(layout.columnBars.size(), std::size_t(1));
    QCOMPARE(layout.columnBars[0], QRect(321, 1, 6, 98));
    QVERIFY(layout.rowBars.empty());

    // With the info pane hidden, the bar runs from the viewscreen's edge to the border.
    layout = ComputeSplitterLayout({452, 100}, {{0, 0}}, {{320, 10}, {0, 125}});
    QCOMPARE(layout.columnBars[0], QRect(447, 1, 4, 98));

    const auto stacked = ComputeSplitterLayout({300, 400}, {{100, 10}, {0, 0}}, {{0, 0}});
    QCOMPARE(stacked.rowBars[0], QRect(1, 101, 298, 6));
}

QTEST_APPLESS_MAIN(TestLayout)
#include "LayoutTest.moc"
