// Draws the application icon (a camera whose lens holds a kestrel in flight) as PNG files of
// the given sizes: make_icons <output-folder> [sizes...]. Run by scripts/make-icons.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <cstdio>

namespace {

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);   // drawn on a 256 x 256 grid

    const QColor body(0x2b, 0x36, 0x45), bodyEdge(0x16, 0x1d, 0x26);
    const QColor rufous(0xc4, 0x62, 0x2d), rufousDark(0x8a, 0x3f, 0x18);
    const QColor glass(0x10, 0x18, 0x22), sky(0xf3, 0xe6, 0xcf);

    // Viewfinder hump and body.
    p.setPen(QPen(bodyEdge, 8));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(84, 40, 88, 44), 12, 12);
    p.drawRoundedRect(QRectF(16, 64, 224, 160), 28, 28);
    // Shutter button.
    p.setBrush(rufous);
    p.drawRoundedRect(QRectF(186, 48, 34, 20), 6, 6);

    // Lens: rufous ring round dark glass.
    p.setPen(QPen(bodyEdge, 8));
    p.setBrush(rufous);
    p.drawEllipse(QPointF(128, 144), 70, 70);
    p.setPen(QPen(rufousDark, 6));
    p.setBrush(glass);
    p.drawEllipse(QPointF(128, 144), 50, 50);

    // The kestrel: a pale silhouette with swept wings and a long tail, hovering in the lens.
    QPainterPath bird;
    bird.moveTo(128, 130);                       // head
    bird.cubicTo(112, 116, 94, 106, 76, 110);    // left wing leading edge
    bird.cubicTo(96, 124, 110, 134, 121, 146);   // left wing trailing edge
    bird.lineTo(119, 180);                       // tail, left
    bird.lineTo(137, 180);                       // tail, right
    bird.lineTo(135, 146);
    bird.cubicTo(146, 134, 160, 124, 180, 110);   // right wing trailing edge
    bird.cubicTo(162, 106, 144, 116, 128, 130);   // right wing leading edge
    bird.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawPath(bird);
    p.drawEllipse(QPointF(128, 126), 8, 8);

    return image;
}

}   // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: make_icons <output-folder> [sizes...]\n");
        return 2;
    }
    QList<int> sizes;
    for (int i = 2; i < args.size(); ++i) sizes << args[i].toInt();
    if (sizes.isEmpty()) sizes = {16, 32, 48, 256};
    QDir().mkpath(args[1]);
    for (int size : sizes) {
        const QString path = QDir(args[1]).filePath(QStringLiteral("kestrel-%1.png").arg(size));
        if (size <= 0 || !drawIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
