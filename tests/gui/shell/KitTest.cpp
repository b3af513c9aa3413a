// Caption strip, transparent label, dialog units and the pane font.
#include "kit/CLabel.h"
#include "kit/DialogUnits.h"
#include "kit/PaneCaption.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

class TestKit : public QObject {
    Q_OBJECT
private slots:
    void dialogUnits_data();
    void dialogUnits();
    void dialogRect();
    void paneFontIsDefaultFamilyAt12px();
    void captionStrip();
    void captionFillsWholeClientOnRequest();
    void captionLeavesPainterAsItWas();
    void labelNeverFillsItsBackground_data();
    void labelNeverFillsItsBackground();
    void labelShrinksTextThatWouldBeCut();
};

void TestKit::dialogUnits_data() {
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("0") << 0 << 0 << 0;
    QTest::newRow("1 rounds half up") << 1 << 2 << 2;
    QTest::newRow("4") << 4 << 6 << 7;
    QTest::newRow("8") << 8 << 12 << 13;
    QTest::newRow("about box width/height") << 236 << 354 << 384;
    QTest::newRow("55") << 55 << 83 << 89;
    QTest::newRow("negative rounds away from zero") << -1 << -2 << -2;
}

void TestKit::dialogUnits() {
    QFETCH(int, units);
    QFETCH(int, x);
    QFETCH(int, y);
    QCOMPARE(dluX(units), x);
    QCOMPARE(dluY(units), y);
}

void TestKit::dialogRect() { QCOMPARE(dluRect(7, 8, 50, 14), QRect(11, 13, 75, 23)); }

void TestKit::paneFontIsDefaultFamilyAt12px() {
    const QFont font = paneFont();
    QCOMPARE(font.pixelSize(), 12);
    QCOMPARE(font.family(), QApplication::font().family());
}

namespace {

const QColor kMagenta(255, 0, 255);

QImage paintCaption(bool fillWhole) {
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(kMagenta);
    QPainter painter(&image);
    DrawPaneCaption(painter, image.rect(), QStringLiteral("Console"), fillWhole);
    return image;
}

}   // namespace

void TestKit::captionStrip() {
    const QPalette palette = QApplication::palette();
    const QImage image = paintCaption(false);
    QCOMPARE(image.pixel(0, 0), (palette.color(QPalette::Light)).rgb());     // top-left edge
    QCOMPARE(image.pixel(100, 0), (palette.color(QPalette::Light)).rgb());   // top edge
    QCOMPARE(image.pixel(0, 10), (palette.color(QPalette::Light)).rgb());    // left edge
    QCOMPARE(image.pixel(100, 19), (palette.color(QPalette::Dark)).rgb());   // bottom edge
    QCOMPARE(image.pixel(199, 10), (palette.color(QPalette::Dark)).rgb());   // right edge
    QCOMPARE(image.pixel(3, 3), (palette.color(QPalette::Button)).rgb());    // face
    QCOMPARE(image.pixel(100, 20), (kMagenta).rgb());                        // below: untouched
    QCOMPARE(image.pixel(100, 99), (kMagenta).rgb());

    // The title is drawn in the middle of the strip, not at its ends.
    int inked = 0;
    for (int x = 0; x < 200; ++x)
        for (int y = 2; y < 18; ++y)
            if (image.pixel(x, y) != palette.color(QPalette::Button).rgb() && x > 2 && x < 197) {
                ++inked;
                QVERIFY2(x > 60 && x < 140, qPrintable(QStringLiteral("ink at x=%1").arg(x)));
            }
    QVERIFY(inked > 0);
}

void TestKit::captionFillsWholeClientOnRequest() {
    const QImage image = paintCaption(true);
    QCOMPARE(image.pixel(100, 60), (QApplication::palette().color(QPalette::Button)).rgb());
    QCOMPARE(image.pixel(199, 99), (QApplication::palette().color(QPalette::Button)).rgb());
}

void TestKit::captionLeavesPainterAsItWas() {
    QImage image(50, 50, QImage::Format_RGB32);
    QPainter painter(&image);
    QFont font(QStringLiteral("Monospace"));
    font.setPixelSize(31);
    painter.setFont(font);
    painter.setPen(Qt::red);
    DrawPaneCaption(painter, image.rect(), QStringLiteral("Info"));
    QCOMPARE(painter.font().pixelSize(), 31);
    QCOMPARE(painter.pen().color(), QColor(Qt::red));
}

void TestKit::labelNeverFillsItsBackground_data() {
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("inkOnLeft");
    QTest::newRow("left") << int(Qt::AlignLeft) << true;
    QTest::newRow("right") << int(Qt::AlignRight) << false;
}

void TestKit::labelNeverFillsItsBackground() {
    QFETCH(int, alignment);
    QFETCH(bool, inkOnLeft);
    QWidget pane;
    pane.resize(200, 60);
    pane.setAutoFillBackground(true);
    QPalette palette = pane.palette();
    palette.setColor(QPalette::Window, kMagenta);
    pane.setPalette(palette);
    auto* label = new CLabel(QStringLiteral("Owner:"), &pane);
    label->setAlignment(Qt::Alignment(alignment));
    label->setGeometry(0, 0, 200, 60);

    QImage image(pane.size(), QImage::Format_RGB32);
    pane.render(&image);
    // The bottom of the label is left to the pane: text is drawn from the top.
    for (int x = 0; x < 200; ++x) QCOMPARE(image.pixel(x, 50), kMagenta.rgb());
    int leftInk = 0, rightInk = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 200; ++x)
            if (image.pixel(x, y) != kMagenta.rgb()) (x < 100 ? leftInk : rightInk)++;
    QVERIFY(leftInk + rightInk > 0);
    QCOMPARE(leftInk > 0, inkOnLeft);
    QCOMPARE(rightInk > 0, !inkOnLeft);
}

void TestKit::labelShrinksTextThatWouldBeCut() {
    QFont font;
    font.setPixelSize(12);
    const QString text = QStringLiteral("Capture Folder");
    const int natural = QFontMetrics(font).horizontalAdvance(text);

    // Wide enough: the font is left alone.
    QCOMPARE(CLabel::FittedFont(font, text, natural).pixelSize(), 12);
    // A little too narrow: smaller, and then the whole text fits.
    const QFont fitted = CLabel::FittedFont(font, text, natural - 8);
    QVERIFY(fitted.pixelSize() < 12);
    QVERIFY(QFontMetrics(fitted).horizontalAdvance(text) <= natural - 8);
    // Far too narrow: never below the smallest readable size.
    QCOMPARE(CLabel::FittedFont(font, text, 5).pixelSize(), CLabel::kMinimumPixelSize);
    // A point-sized font is not touched.
    QFont points;
    points.setPointSize(10);
    QCOMPARE(CLabel::FittedFont(points, text, 5).pointSize(), 10);
}

QTEST_MAIN(TestKit)
#include "KitTest.moc"
