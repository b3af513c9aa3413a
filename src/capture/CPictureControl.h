// A picture control: a small widget that shows one image at its own size, top-left, and sizes
// itself to the image. The image buffer is reused when the size stays the same.
#pragma once

#include <QImage>
#include <QWidget>

class CPictureControl : public QWidget {
    Q_OBJECT
public:
    explicit CPictureControl(QWidget* parent = nullptr);

    // Copies width x height frame pixels (BGR, rows bottom-up) into the control's image.
    void setFramePixels(int width, int height, const unsigned char* pixels);
    const QImage& image() const { return image_; }
    // The image itself, for a hand-over that swaps buffers in place; call imageReplaced() after.
    QImage& imageBuffer() { return image_; }
    void imageReplaced();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

// Converts width x height frame pixels (3 bytes a pixel, blue, green, red, rows bottom-up) into
// image, which is (re)allocated only when its size or format differs: rows flipped, RGB32.
void ConvertFramePixels(int width, int height, const unsigned char* pixels, QImage& image);
