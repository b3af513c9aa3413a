// The pane splitter widget: placing panes, hiding them, nested splitters, dragging bars.
#include "kit/CPaneSplitter.h"

#include <QMouseEvent>
#include <QPointer>
#include <QTest>

using Arrangement = CPaneSplitter::Arrangement;

class TestSplitter : public QObject {
    Q_OBJECT
private slots:
    void panesStartAt10x10();
    void sideBySidePlacesPanes();
    void nestedSplitterIsEnlargedByOnePixel();
    void paneHiddenWhenItsSizeIsZeroAndShownAgain();
    void zeroSizeKeepsPanesWhereTheyWere();
    void subSplitterIndexOutsideRangeYieldsNothing();
    void subSplitterReplacesWhatWasThere();
    void draggingColumnBarSetsIdealAndHidesInfo();
    void draggingRowBar();
    void sunkenEdgesShowBesideTheBars();
};

namespace {

void mouse(QWidget* widget, QEvent::Type type, QPoint pos) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

struct InfoRow {
    CPaneSplitter splitter{Arrangement::SideBySide};
    QWidget* viewscreen = new QWidget;
    QWidget* info = new QWidget;
    InfoRow(int width, int height) {
        splitter.SetPane(0, viewscreen);
        splitter.SetPane(1, info);
        splitter.SetColumnInfo(0, 320, 10);
        splitter.SetColumnInfo(1, 0, 125);
        splitter.resize(width, height);
        splitter.show();
        splitter.RecalcLayout();
    }
};

}   // namespace

void TestSplitter::panesStartAt10x10() {
    CPaneSplitter splitter(Arrangement::Stacked);
    auto* pane = new QWidget;
    splitter.SetPane(0, pane);
    QCOMPARE(pane->parentWidget(), &splitter);
    QCOMPARE(pane->size(), QSize(10, 10));
    QCOMPARE(splitter.rowCount(), 2);
    QCOMPARE(splitter.columnCount(), 1);
}

void TestSplitter::sideBySidePlacesPanes() {
    InfoRow row(600, 300);
    QCOMPARE(row.viewscreen->geometry(), QRect(1, 1, 320, 298));
    QCOMPARE(row.info->geometry(), QRect(327, 1, 272, 298));
    QVERIFY(row.info->isVisible());
}

void TestSplitter::nestedSplitterIsEnlargedByOnePixel() {
    CPaneSplitter root(Arrangement::SideBySide);
    CPaneSplitter* left = root.AddSubSplitter(0, Arrangement::Stacked);
    auto* plain = new QWidget;
    root.SetPane(1, plain);
    root.SetColumnInfo(0, 200, 10);
    root.resize(800, 600);
    root.show();
    root.RecalcLayout();
    QCOMPARE(left->geometry(), QRect(0, 0, 202, 600));
    QCOMPARE(root.PaneRect(0), QRect(1, 1, 200, 598));
    QCOMPARE(plain->geometry(), QRect(207, 1, 592, 598));   // not a splitter: not enlarged
}

void TestSplitter::paneHiddenWhenItsSizeIsZeroAndShownAgain() {
    InfoRow row(452, 100);
    QVERIFY(row.info->isHidden());
    QCOMPARE(row.info->size(), QSize(0, 0));
    QCOMPARE(row.viewscreen->geometry(), QRect(1, 1, 446, 98));

    row.splitter.resize(453, 100);
    QVERIFY(!row.info->isHidden());
    QCOMPARE(row.info->geometry(), QRect(327, 1, 125, 98));
    QCOMPARE(row.viewscreen->geometry(), QRect(1, 1, 320, 98));
}

void TestSplitter::zeroSizeKeepsPanesWhereTheyWere() {
    InfoRow row(600, 300);
    const QRect before = row.info->geometry();
    row.splitter.resize(600, 0);
    QCOMPARE(row.info->geometry(), before);
    QVERIFY(!row.info->isHidden());
    row.splitter.resize(0, 300);
    QCOMPARE(row.info->geometry(), before);
    row.splitter.RecalcLayout();   // explicit request at zero width: still nothing
    QCOMPARE(row.info->geometry(), before);
}

void TestSplitter::subSplitterIndexOutsideRangeYieldsNothing() {
    CPaneSplitter root(Arrangement::SideBySide);
    QVERIFY(root.AddSubSplitter(2, Arrangement::Stacked) == nullptr);
    QVERIFY(root.AddSubSplitter(-1, Arrangement::Stacked) == nullptr);
    QVERIFY(root.Pane(0) == nullptr);
    QVERIFY(root.Pane(1) == nullptr);
}

void TestSplitter::subSplitterReplacesWhatWasThere() {
    CPaneSplitter root(Arrangement::SideBySide);
    QPointer<CPaneSplitter> first = root.AddSubSplitter(1, Arrangement::Stacked);
    QPointer<QWidget> child = new QWidget;
    first->SetPane(0, child);
    CPaneSplitter* second = root.AddSubSplitter(1, Arrangement::SideBySide);
    QVERIFY(first.isNull());   // destroyed, with its panes
    QVERIFY(child.isNull());
    QCOMPARE(root.Pane(1), second);
}

void TestSplitter::draggingColumnBarSetsIdealAndHidesInfo() {
    InfoRow row(600, 300);
    // The bar lies between x 321 and 326; catch it 2 pixels in and move it 150 to the right.
    mouse(&row.splitter, QEvent::MouseButtonPress, {323, 100});
    mouse(&row.splitter, QEvent::MouseMove, {473, 100});
    QCOMPARE(row.splitter.ColumnInfo(0).ideal, 470);
    QCOMPARE(row.splitter.ColumnInfo(0).minimum, 10);
    // 598 - 470 - 6 leaves 122 for the info pane: too little, so it goes.
    QVERIFY(row.info->isHidden());
    QCOMPARE(row.viewscreen->geometry(), QRect(1, 1, 594, 298));
    mouse(&row.splitter, QEvent::MouseButtonRelease, {473, 100});

    // The bar is still at the right edge and can be dragged back.
    mouse(&row.splitter, QEvent::MouseButtonPress, {596, 100});
    mouse(&row.splitter, QEvent::MouseMove, {300, 100});
    mouse(&row.splitter, QEvent::MouseButtonRelease, {300, 100});
    QCOMPARE(row.splitter.ColumnInfo(0).ideal, 298);
    QVERIFY(!row.info->isHidden());
    QCOMPARE(row.viewscreen->geometry(), QRect(1, 1, 298, 298));
    QCOMPARE(row.info->geometry(), QRect(305, 1, 294, 298));

    // Moving without a button pressed over a pane area changes nothing.
    mouse(&row.splitter, QEvent::MouseMove, {100, 100});
    QCOMPARE(row.splitter.ColumnInfo(0).ideal, 298);
}

void TestSplitter::draggingRowBar() {
    CPaneSplitter splitter(Arrangement::Stacked);
    auto* top = new QWidget;
    auto* bottom = new QWidget;
    splitter.SetPane(0, top);
    splitter.SetPane(1, bottom);
    splitter.SetRowInfo(0, 100, 10);
    splitter.resize(300, 400);
    splitter.show();
    splitter.RecalcLayout();
    QCOMPARE(bottom->geometry(), QRect(1, 107, 298, 292));
    mouse(&splitter, QEvent::MouseButtonPress, {150, 101});
    mouse(&splitter, QEvent::MouseMove, {150, 51});
    mouse(&splitter, QEvent::MouseButtonRelease, {150, 51});
    QCOMPARE(splitter.RowInfo(0).ideal, 50);
    QCOMPARE(top->geometry(), QRect(1, 1, 298, 50));
    QCOMPARE(bottom->geometry(), QRect(1, 57, 298, 342));
}

// Between two panes the bar keeps both sunken edges: the left pane's highlight on its right,
// the right pane's shadow on its left.
void TestSplitter::sunkenEdgesShowBesideTheBars() {
    InfoRow row(800, 260);
    const QImage image = row.splitter.grab().toImage();
    const QRect left = row.viewscreen->geometry(), right = row.info->geometry();
    const int y = left.center().y();
    QCOMPARE(image.pixel(left.right() + 1, y), row.splitter.palette().color(QPalette::Light).rgb());
    QCOMPARE(image.pixel(right.left() - 1, y), row.splitter.palette().color(QPalette::Dark).rgb());
}

QTEST_MAIN(TestSplitter)
#include "SplitterTest.moc"
