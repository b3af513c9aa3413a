#include "capture/PictureLoader.h"

#include "picture/Preview.h"
#include "picture/Sidecar.h"
#include "kit/UiWakeup.h"

namespace {

QImage toImage(const picture::Pixels& p) {
    QImage image(p.rgb.data(), p.width, p.height, p.width * 3, QImage::Format_RGB888);
    return image.convertToFormat(QImage::Format_RGB32);   // a deep copy
}

}   // namespace

PictureLoader::PictureLoader(QObject* parent) : QObject(parent) {
    wakeup_ = new UiWakeup([this] { deliver(); }, this);
    for (int i = 0; i < 2; ++i) workers_.emplace_back([this] { work(); });
}

PictureLoader::~PictureLoader() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
        jobs_.clear();
    }
    jobReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void PictureLoader::NewGeneration() {
    ++generation_;
    pending_.clear();
    std::lock_guard<std::mutex> guard(lock_);
    std::erase_if(jobs_, [](const Job& job) { return !job.picture; });
}

void PictureLoader::RequestThumbnail(const QString& path) {
    if (pending_.contains(path)) return;
    pending_.insert(path);
    {
        std::lock_guard<std::mutex> guard(lock_);
        jobs_.push_back({false, path, generation_});
    }
    jobReady_.notify_one();
}

void PictureLoader::RequestPicture(const QString& path) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        jobs_.push_front({true, path, ++pictureTicket_});
    }
    jobReady_.notify_one();
}

void PictureLoader::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> guard(lock_);
            jobReady_.wait(guard, [this] { return stop_ || !jobs_.empty(); });
            if (stop_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        Result result{job.stamp, {}, {}};
        const std::string file = job.path.toStdString();
        if (job.picture) {
            const picture::Pixels pixels = picture::ReadPicture(file);
            Picture p{job.path, {}, QString::fromStdString(pixels.error), {}};
            if (pixels.ok()) {
                p.image = toImage(pixels);
                auto histogram = std::make_shared<RgbHistogram>();
                ComputeRgbHistogram(pixels.rgb.data(),
                                    static_cast<std::size_t>(pixels.width) * pixels.height,
                                    *histogram);
                p.histogram = std::move(histogram);
            }
            result.picture = std::move(p);
        } else {
            const picture::Pixels pixels = picture::ReadThumbnail(file, kIconWidth);
            Thumbnail t{
                job.path, {}, QString::fromStdString(pixels.error), picture::ReadRating(file)};
            if (pixels.ok())
                t.icon = toImage(pixels).scaled(kIconWidth, kIconHeight, Qt::KeepAspectRatio,
                                                Qt::SmoothTransformation);
            result.thumbnail = std::move(t);
        }
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (stop_) return;
            results_.push_back(std::move(result));
        }
        wakeup_->wake();   // the workers are joined before the wake-up goes
    }
}

void PictureLoader::deliver() {
    std::vector<Result> results;
    {
        std::lock_guard<std::mutex> guard(lock_);
        results.swap(results_);
    }
    for (const Result& r : results) {
        if (r.thumbnail && r.stamp == generation_) {
            pending_.remove(r.thumbnail->path);
            if (onThumbnail) onThumbnail(*r.thumbnail);
        } else if (r.picture && r.stamp == pictureTicket_ && onPicture) {
            onPicture(*r.picture);
        }
    }
}
