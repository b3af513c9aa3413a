// Compare in the viewscreen: two pictures side by side, the earlier on the left, each fitted
// in its half, or both at 100 % around the same point of the pictures and panned together, to
// pick the sharper of two frames. Draws into an image of the live picture control's size; the
// whole pictures come from the workers (a smaller decode is magnified until then). User-interface
// thread only.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>

class CompareView {
public:
    static constexpr int kLeft = 0, kRight = 1;
    static constexpr int kGap = 2;   // the dark line between the halves

    struct Side {
        QImage image;      // drawn fitted: the view decoded for the screen (or the whole)
        QImage whole;      // drawn at 100 %: the whole picture, once decoded
        QSize full;        // the whole picture's size
        QString caption;   // the name and shooting data, or why it cannot be shown
    };

    // A side's picture: the whole one when image's size is full (kept beside the view shown
    // fitted), else its view (a picture of its own: any whole before it goes). Null: none yet.
    void setSide(int side, const QImage& image, QSize full, const QString& caption);
    const Side& side(int side) const { return sides_[side]; }

    // The canvas for a control of size.
    QImage Render(QSize size);
    // Where side is drawn in a control of size.
    static QRect Half(int side, QSize size);
    // The picture's pixel of side under a point of the control (fitted or at 100 %).
    QPoint PicturePoint(int side, QPoint at, QSize size) const;

    // 100 % of both around the picture point under at (in either half), or back to fitted.
    void ToggleActualSize(QPoint at, QSize size);
    bool actualSize() const { return actual_; }
    // At 100 %: both pictures move by (a drag of the pointer), kept inside the pictures.
    void Pan(QPoint by);
    // The left picture's point in the middle of each half at 100 % (the right one's is the same
    // point scaled to its size).
    QPoint centre() const { return centre_; }
    // Side's point in the middle of its half at 100 %, once clamped to the picture.
    QPoint CentreOf(int side, QSize size) const;

private:
    QSize reference() const;   // the size the centre is counted in: the left's, else the right's
    QPoint scaled(QPoint p, QSize from, QSize to) const;
    QRect fitted(int side, QSize size) const;

    std::array<Side, 2> sides_;
    bool actual_ = false;
    QPoint centre_;
    QSize last_{640, 480};   // the control's size at the last Render
};
