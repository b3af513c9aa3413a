#include "capture/PictureLoader.h"

#include "kit/Worker.h"
#include "picture/Preview.h"
#include "picture/Sidecar.h"

#include <QTransform>

#include <exception>
#include <new>

namespace {

enum Kind { kThumbnailJob, kPictureJob };

QImage toImage(const picture::Pixels& p) {
    QImage image(p.rgb.data(), p.width, p.height, p.width * 3, QImage::Format_RGB888);
    return image.convertToFormat(QImage::Format_RGB32);   // a deep copy
}

// The picture turned as its EXIF orientation asks (mirrored ones as well).
QImage oriented(QImage image, int orientation) {
    if (orientation <= 1 || orientation > 8) return image;
    const bool mirrored =
        orientation == 2 || orientation == 4 || orientation == 5 || orientation == 7;
    if (mirrored) image = image.mirrored(true, false);
    // Clockwise, after the mirroring: 5 is mirrored then turned anticlockwise, 7 clockwise.
    const int degrees[] = {0, 0, 0, 180, 180, 270, 90, 90, 270};
    const int turn = degrees[orientation];
    return turn == 0 ? image : image.transformed(QTransform().rotate(turn));
}

PictureLoader::Picture readPicture(const std::string& path) {
    const picture::Pixels pixels = picture::ReadPicture(path);
    PictureLoader::Picture p{path, {}, QString::fromStdString(pixels.error), {}};
    if (pixels.ok()) {
        p.image = oriented(toImage(pixels), picture::ReadOrientation(path));
        auto histogram = std::make_shared<RgbHistogram>();
        ComputeRgbHistogram(pixels.rgb.data(),
                            static_cast<std::size_t>(pixels.width) * pixels.height, *histogram);
        p.histogram = std::move(histogram);
    }
    return p;
}

PictureLoader::Thumbnail readThumbnail(const std::string& path) {
    const picture::Pixels pixels = picture::ReadThumbnail(path, PictureLoader::kIconWidth);
    PictureLoader::Thumbnail t{
        path, {}, QString::fromStdString(pixels.error), picture::PictureRating(path)};
    if (pixels.ok())
        t.icon = oriented(toImage(pixels), picture::ReadOrientation(path))
                     .scaled(PictureLoader::kIconWidth, PictureLoader::kIconHeight,
                             Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return t;
}

// What a read that threw says instead of a picture.
template <class Read>
auto caught(Read read, const std::string& path) -> decltype(read(path)) {
    decltype(read(path)) failed{};
    failed.path = path;
    try {
        return read(path);
    } catch (const std::bad_alloc&) {
        failed.error = QStringLiteral("not enough memory to read it");
    } catch (const std::exception& e) {
        failed.error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failed.error = QStringLiteral("the reader failed");
    }
    return failed;
}

}   // namespace

PictureLoader::PictureLoader(QObject* parent) : QObject(parent) {
    worker_ = std::make_unique<Worker<Result>>([this](Result& r) { deliver(r); }, 2);
}

PictureLoader::~PictureLoader() = default;

void PictureLoader::NewGeneration() {
    ++generation_;
    pending_.clear();
    worker_->drop(kThumbnailJob);
}

void PictureLoader::RequestThumbnail(const std::string& path) {
    if (!pending_.insert(path).second) return;
    worker_->Post(
        [path, stamp = generation_](const std::atomic<bool>&) {
            return Result{stamp, caught(readThumbnail, path), {}};
        },
        kThumbnailJob);
}

void PictureLoader::RequestPicture(const std::string& path) {
    worker_->Post(
        [path, stamp = ++pictureTicket_](const std::atomic<bool>&) {
            return Result{stamp, {}, caught(readPicture, path)};
        },
        kPictureJob, true);
}

void PictureLoader::deliver(Result& r) {
    if (r.thumbnail && r.stamp == generation_) {
        pending_.erase(r.thumbnail->path);
        if (onThumbnail) onThumbnail(*r.thumbnail);
    } else if (r.picture && r.stamp == pictureTicket_ && onPicture) {
        onPicture(*r.picture);
    }
}
