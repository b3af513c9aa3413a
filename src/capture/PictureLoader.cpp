#include "capture/PictureLoader.h"

#include "picture/Preview.h"
#include "picture/Sidecar.h"

namespace {

QImage toImage(const picture::Pixels& p) {
    QImage image(p.rgb.data(), p.width, p.height, p.width * 3, QImage::Format_RGB888);
    return image.convertToFormat(QImage::Format_RGB32);   // a deep copy
}

}   // namespace

PictureLoader::PictureLoader(QObject* parent) : QObject(parent) { pool_.setMaxThreadCount(2); }

PictureLoader::~PictureLoader() {
    pool_.clear();
    pool_.waitForDone();
}

void PictureLoader::NewGeneration() {
    ++generation_;
    pending_.clear();
    pool_.clear();
}

void PictureLoader::RequestThumbnail(const QString& path) {
    if (pending_.contains(path)) return;
    pending_.insert(path);
    const quint64 generation = generation_;
    pool_.start([this, path, generation] {
        const std::string file = path.toStdString();
        const picture::Pixels pixels = picture::ReadThumbnail(file, kIconWidth);
        Thumbnail result{path, {}, QString::fromStdString(pixels.error), picture::ReadRating(file)};
        if (pixels.ok())
            result.icon = toImage(pixels).scaled(kIconWidth, kIconHeight, Qt::KeepAspectRatio,
                                                 Qt::SmoothTransformation);
        QMetaObject::invokeMethod(
            this,
            [this, result, generation] {
                if (generation != generation_) return;
                pending_.remove(result.path);
                if (onThumbnail) onThumbnail(result);
            },
            Qt::QueuedConnection);
    });
}

void PictureLoader::RequestPicture(const QString& path) {
    const quint64 ticket = ++pictureTicket_;
    // Ahead of the thumbnails: the picture is what the user waits for.
    pool_.start(
        [this, path, ticket] {
            const picture::Pixels pixels = picture::ReadPicture(path.toStdString());
            Picture result{path, {}, QString::fromStdString(pixels.error), {}};
            if (pixels.ok()) {
                result.image = toImage(pixels);
                auto histogram = std::make_shared<RgbHistogram>();
                ComputeRgbHistogram(pixels.rgb.data(),
                                    static_cast<std::size_t>(pixels.width) * pixels.height,
                                    *histogram);
                result.histogram = std::move(histogram);
            }
            QMetaObject::invokeMethod(
                this,
                [this, result, ticket] {
                    if (ticket == pictureTicket_ && onPicture) onPicture(result);
                },
                Qt::QueuedConnection);
        },
        1);
}
