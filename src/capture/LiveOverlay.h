// The layout overlay: a PNG or JPEG (a layout, a cover with its masthead, a product outline) or
// the last capture as a ghost, drawn over the live picture with an opacity, fit or fill and an
// offset, and over the Review tab's large view when asked. The picture is read on a worker; the
// layer is made once per option or view size (Prepare) and blended into a kept buffer per frame
// (Compose), so the frame path allocates nothing. User-interface thread only.
#pragma once

#include "capture/ViewOptions.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>

template <class Result>
class Worker;

class LiveOverlay : public QObject {
    Q_OBJECT
public:
    explicit LiveOverlay(QObject* parent = nullptr);
    ~LiveOverlay() override;

    // Takes the overlay options; the picture is read again when its source or file changed.
    void setOptions(const ViewOptions& options);
    const ViewOptions& options() const { return options_; }
    // A picture was saved: the ghost shows it once read.
    void PictureSaved(const QString& path);
    bool active() const { return !picture_.isNull(); }
    bool onReview() const { return active() && options_.overlayOnReview; }

    // A layer kept by whoever draws it: rebuilt when the view size or the overlay changed.
    struct Layer {
        QImage image;   // ARGB32 premultiplied words, the view's size
        quint64 generation = 0;
    };
    // False when there is nothing to draw.
    bool Prepare(QSize viewSize, Layer& layer) const;
    // The layer over shown (RGB32) into composed, reallocated only when its size differs.
    static void Compose(const QImage& shown, const QImage& layer, QImage& composed);

    // A PNG or JPEG read for the overlay: a regular file within the picture reader's bounds,
    // at most picture::kMaxPicturePixels. Null, with the reason in error, when not.
    static QImage ReadOverlayFile(const QString& path, QString& error);

    std::function<void(const QString& line)> onLog;   // "Overlay not shown: ..." lines

signals:
    void changed();   // the overlay is to be drawn again

private:
    struct Loaded;
    void load(const QString& path, bool ghost);

    ViewOptions options_;
    QImage picture_;   // ARGB32, as read
    quint64 generation_ = 1;
    quint64 ticket_ = 0;
    std::unique_ptr<Worker<Loaded>> worker_;
};
