#include "capture/PictureImage.h"

#include "picture/Preview.h"

#include <QTransform>

QImage ImageOfPixels(const picture::Pixels& p) {
    QImage image(p.rgb.data(), p.width, p.height, p.width * 3, QImage::Format_RGB888);
    return image.convertToFormat(QImage::Format_RGB32);   // a deep copy
}

QImage Oriented(QImage image, int orientation) {
    if (orientation <= 1 || orientation > 8) return image;
    const bool mirrored =
        orientation == 2 || orientation == 4 || orientation == 5 || orientation == 7;
    if (mirrored) image = image.mirrored(true, false);
    // Clockwise, after the mirroring: 5 is mirrored then turned anticlockwise, 7 clockwise.
    const int degrees[] = {0, 0, 0, 180, 180, 270, 90, 90, 270};
    const int turn = degrees[orientation];
    return turn == 0 ? image : image.transformed(QTransform().rotate(turn));
}
