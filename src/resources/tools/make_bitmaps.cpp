// Draws the Stitch panel's pictures as 24-bit BMP files: bitmap139..142 (a bar for the previous
// shot's edge and an arrow toward the viewfinder) and bitmap144 (the word "Viewfinder" written
// diagonally). make_bitmaps <output-folder>. Run by scripts/make-icons.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <cstdio>

namespace {

const QColor kFace(0xf0, 0xf0, 0xf0);   // the panel's background
const QColor kBar(0x8a, 0x3f, 0x18);    // the previous shot's edge
const QColor kArrow(0x2b, 0x36, 0x45);

// An arrow on a 32 x 64 grid with the bar on the left and the arrow pointing right; the other
// three pictures are this one turned.
QImage drawArrow(int turns) {
    QImage base(32, 64, QImage::Format_RGB888);
    base.fill(kFace);
    {
        QPainter p(&base);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(QRectF(2, 4, 5, 56), kBar);
        p.setPen(Qt::NoPen);
        p.setBrush(kArrow);
        p.drawRect(QRectF(9, 28, 10, 8));
        p.drawPolygon(QPolygonF({QPointF(18, 18), QPointF(30, 32), QPointF(18, 46)}));
    }
    return base.transformed(QTransform().rotate(90.0 * turns), Qt::FastTransformation)
        .convertToFormat(QImage::Format_RGB888);
}

QImage drawViewfinder() {
    QImage image(64, 64, QImage::Format_RGB888);
    image.fill(kFace);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QPen(kArrow, 1));
    p.drawRect(QRectF(0.5, 0.5, 63, 63));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.translate(32, 32);
    p.rotate(-45);
    p.drawText(QRectF(-40, -8, 80, 16), Qt::AlignCenter, QStringLiteral("Viewfinder"));
    return image;
}

}   // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make_bitmaps <output-folder>\n");
        return 2;
    }
    QDir().mkpath(args[1]);
    // 139 right (bar on the left), 140 left, 141 down (bar above), 142 up.
    const struct {
        int id;
        QImage image;
    } pictures[] = {{139, drawArrow(0)},
                    {140, drawArrow(2)},
                    {141, drawArrow(1)},
                    {142, drawArrow(3)},
                    {144, drawViewfinder()}};
    for (const auto& picture : pictures) {
        const QString path = QDir(args[1]).filePath(QStringLiteral("bitmap%1.bmp").arg(picture.id));
        if (!picture.image.save(path, "BMP")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
