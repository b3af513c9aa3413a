#include "kit/DialogUnits.h"

#include <QApplication>

namespace {

// value * numerator / denominator, rounded half away from zero.
int scale(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}   // namespace

int dluX(int units) { return scale(units, 3, 2); }    // 6 px per 4 units
int dluY(int units) { return scale(units, 13, 8); }   // 13 px per 8 units

QRect dluRect(int x, int y, int width, int height) {
    return QRect(dluX(x), dluY(y), dluX(width), dluY(height));
}

QFont paneFont() {
    QFont font = QApplication::font();
    font.setPixelSize(12);
    return font;
}
