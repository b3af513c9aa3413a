// Decoded pixels as the panes show them: a QImage of picture::Pixels, turned as the file's EXIF
// orientation asks. Any thread (QImage only, no widget).
#pragma once

#include <QImage>

namespace picture {
struct Pixels;
}

// A deep copy of p's pixels as RGB32.
QImage ImageOfPixels(const picture::Pixels& p);
// The picture turned as its EXIF orientation (1-8) asks, mirrored ones as well.
QImage Oriented(QImage image, int orientation);
