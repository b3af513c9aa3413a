#include "capture/PictureLoader.h"

#include "capture/PictureImage.h"
#include "kit/Worker.h"
#include "picture/Preview.h"
#include "picture/Sidecar.h"

#include <exception>
#include <new>

namespace {

enum Kind { kThumbnailJob };

PictureLoader::Thumbnail readThumbnail(const std::string& path) {
    const picture::Pixels pixels = picture::ReadThumbnail(path, PictureLoader::kIconWidth);
    PictureLoader::Thumbnail t{
        path, {}, QString::fromStdString(pixels.error), picture::PictureRating(path)};
    if (pixels.ok())
        t.icon = Oriented(ImageOfPixels(pixels), picture::ReadOrientation(path))
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
            return Result{stamp, caught(readThumbnail, path)};
        },
        kThumbnailJob);
}

void PictureLoader::deliver(Result& r) {
    if (r.thumbnail && r.stamp == generation_) {
        pending_.erase(r.thumbnail->path);
        if (onThumbnail) onThumbnail(*r.thumbnail);
    }
}
