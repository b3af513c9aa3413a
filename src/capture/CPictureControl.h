// A picture control: a small widget that shows one image scaled to fill the control (nearest
// pixel; at the image's own size, pixel for pixel, when the two match). The image buffer is
// reused when the size stays the same. Optional exposure aids are drawn over it: clipped pixels
// (255 in any channel) in a warning colour, and the rule-of-thirds grid. User-interface thread
// only.
#pragma once

#include "capture/LiveOverlay.h"

#include <QImage>
#include <QWidget>

class CPictureControl : public QWidget {
    Q_OBJECT
public:
    // What a clipped pixel is painted with when the highlight is on.
    static constexpr QRgb kClippedColour = 0xffff00ffu;   // opaque magenta

    explicit CPictureControl(QWidget* parent = nullptr);

    // Copies width x height frame pixels (BGR, rows bottom-up) into the control's image.
    void setFramePixels(int width, int height, const unsigned char* pixels);
    const QImage& image() const { return image_; }
    // The image itself, for a hand-over that swaps buffers in place; call imageReplaced() after.
    QImage& imageBuffer() { return image_; }
    void imageReplaced();

    void setHighlightClipped(bool on);
    void setThirdsGrid(bool on);
    bool highlightClipped() const { return highlightClipped_; }
    bool thirdsGrid() const { return thirdsGrid_; }
    // Edges in focus tinted (MarkPeaking over the shown image).
    void setFocusPeaking(bool on);
    bool focusPeaking() const { return focusPeaking_; }
    // The layout overlay blended over the picture, under the exposure aids (which still judge
    // the picture's own pixels); null for none. The overlay outlives the control.
    void setOverlay(const LiveOverlay* overlay);

    // Marks in mask (ARGB32, the image's size, reallocated only when that differs) every pixel
    // of image with 255 in its red, green or blue channel: kClippedColour there, transparent
    // elsewhere.
    static void MarkClipped(const QImage& image, QImage& mask);

    // The peaking marks of an Indexed8 mask (kPeakingMark = an edge) pooled to size: a pixel
    // of the result is marked when any pixel under it is, so no mark is lost in scaling down.
    static QImage PoolPeaking(const QImage& marks, QSize size);

    // Scales an RGB32 or ARGB32 image to size by nearest pixel into scaled, which is
    // reallocated only when its size or format differs.
    static void ScaleNearest(const QImage& image, QSize size, QImage& scaled);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QImage scaled_;     // the image at the control's size, reused from frame to frame
    QImage clipMask_;   // reused from frame to frame
    QImage peakMask_;   // reused from frame to frame
    const LiveOverlay* overlay_ = nullptr;
    LiveOverlay::Layer overlayLayer_;   // made once per overlay and size
    QImage composed_;                   // the picture with the overlay, reused
    bool highlightClipped_ = false;
    bool thirdsGrid_ = false;
    bool focusPeaking_ = false;
};

// Converts width x height frame pixels (3 bytes a pixel, blue, green, red, rows bottom-up) into
// image, which is (re)allocated only when its size or format differs: rows flipped, RGB32.
void ConvertFramePixels(int width, int height, const unsigned char* pixels, QImage& image);
