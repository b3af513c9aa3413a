#include "capture/LargeViewCache.h"

#include "capture/CPictureControl.h"
#include "capture/PictureImage.h"
#include "kit/Worker.h"
#include "picture/Preview.h"
#include "picture/ShootingData.h"

#include <QFile>

#include <algorithm>
#include <exception>
#include <new>

namespace {

constexpr std::size_t kStartedKept = 256;   // the bookkeeping's memory

QSize turned(int width, int height, int orientation) {
    return orientation >= 5 ? QSize(height, width) : QSize(width, height);
}

// The whole picture's edges in focus, pooled down to size: a pixel of the view is marked when
// any pixel of the picture under it is, so an edge soft at 100 % stays unmarked.
QImage honestPeaking(const QImage& whole, QSize size) {
    QImage edges(whole.size(), QImage::Format_Indexed8);
    if (!whole.isNull())
        MarkPeaking(reinterpret_cast<const std::uint32_t*>(whole.constBits()), whole.width(),
                    whole.height(), static_cast<std::size_t>(whole.bytesPerLine()) / 4,
                    edges.bits(), static_cast<std::size_t>(edges.bytesPerLine()));
    return CPictureControl::PoolPeaking(edges, size);
}

}   // namespace

LargeViewCache::View LargeViewCache::Decode(const std::string& path, QSize target, bool sharp,
                                            bool peaking) {
    View view;
    view.path = path;
    view.sharp = sharp;
    // The name and shooting data come with the pixels, so the line under a picture is its own.
    const std::size_t slash = path.rfind('/');
    view.caption =
        QFile::decodeName(
            QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1))) +
        QString::fromStdString(picture::ShootingLine({}, picture::ReadShootingData(path)));
    const picture::LargeView large =
        sharp ? picture::ReadLargeView(path, 0, 0)
              : picture::ReadLargeView(path, target.width(), target.height());
    view.error = QString::fromStdString(large.pixels.error);
    if (!large.pixels.ok()) return view;
    view.image = Oriented(ImageOfPixels(large.pixels), large.orientation);
    view.full = turned(large.fullWidth, large.fullHeight, large.orientation);
    if (view.full.isEmpty()) view.full = view.image.size();
    auto histogram = std::make_shared<RgbHistogram>();
    ComputeRgbHistogram(large.pixels.rgb.data(),
                        static_cast<std::size_t>(large.pixels.width) * large.pixels.height,
                        *histogram);
    view.histogram = std::move(histogram);
    if (peaking && !sharp) {
        if (view.image.size() == view.full) {
            view.peaking = honestPeaking(view.image, view.image.size());
        } else {
            const picture::LargeView whole = picture::ReadLargeView(path, 0, 0);
            if (whole.pixels.ok())
                view.peaking = honestPeaking(
                    Oriented(ImageOfPixels(whole.pixels), whole.orientation), view.image.size());
        }
    }
    return view;
}

LargeViewCache::LargeViewCache(QObject* parent, Decoder decoder, int threads)
    : QObject(parent), decoder_(std::move(decoder)), threads_(std::max(1, threads)) {
    worker_ = std::make_unique<Worker<Outcome>>([this](Outcome& o) { finished(o); }, threads_);
}

LargeViewCache::~LargeViewCache() {
    {
        std::lock_guard guard(lock_);
        pending_.clear();
    }
    worker_.reset();
}

void LargeViewCache::setTarget(QSize size) {
    if (size.isEmpty() || size == target_) return;
    target_ = size;
    views_.clear();
}

void LargeViewCache::setPeaking(bool on) {
    if (on == peaking_.load()) return;
    peaking_ = on;
    if (on)
        std::erase_if(views_, [](const auto& kept) {
            return kept.second.view.peaking.isNull() && !kept.second.view.image.isNull();
        });
}

bool LargeViewCache::usable(const std::string& path) const { return views_.contains(path); }

void LargeViewCache::queueWindow() {
    for (const std::string& p : window_)
        if (!usable(p) && !inflight_.contains(p) &&
            std::none_of(pending_.begin(), pending_.end(),
                         [&](const Request& r) { return r.path == p && !r.sharp; }))
            pending_.push_back({p, target_, false, 0});
}

void LargeViewCache::Show(const std::string& path, const std::vector<std::string>& ahead,
                          const std::vector<std::string>& behind) {
    wanted_ = path;
    sharpWanted_ = false;
    ++ticket_;
    window_.assign(1, path);
    for (std::size_t i = 0; i < ahead.size() && i < kAhead; ++i) window_.push_back(ahead[i]);
    for (std::size_t i = 0; i < behind.size() && i < kBehind; ++i) window_.push_back(behind[i]);
    {
        std::lock_guard guard(lock_);
        // Whatever an earlier step queued and no worker took yet is passed: it goes. While
        // the picture an earlier step wanted is still being decoded, the steps outpace the
        // workers: only this one is queued, its neighbours once it is shown.
        pending_.clear();
        if (!usable(path) && !inflight_.contains(path))
            pending_.push_back({path, target_, false, ticket_});
        if (wantedInFlight_ == 0) queueWindow();
    }
    if (const auto hit = views_.find(path); hit != views_.end()) {
        hit->second.used = ++clock_;
        shownTicket_ = ticket_;
        if (onView) onView(hit->second.view);
    }
    topUp();
}

void LargeViewCache::Prefetch(const std::string& path) {
    if (std::find(window_.begin(), window_.end(), path) == window_.end()) window_.push_back(path);
    {
        std::lock_guard guard(lock_);
        if (usable(path) || inflight_.contains(path)) return;
        std::erase_if(pending_, [&](const Request& r) { return r.path == path && !r.sharp; });
        pending_.push_front({path, target_, false});
    }
    topUp();
}

void LargeViewCache::ShowSharp() {
    if (wanted_.empty() || sharpWanted_) return;
    sharpWanted_ = true;
    {
        std::lock_guard guard(lock_);
        std::erase_if(pending_, [](const Request& r) { return r.sharp && !r.whole; });
        pending_.push_front({wanted_, {}, true});
    }
    topUp();
}

void LargeViewCache::Hide() {
    wanted_.clear();
    shownTicket_ = ++ticket_;
    sharpWanted_ = false;
    std::lock_guard guard(lock_);
    std::erase_if(pending_, [](const Request& r) { return r.sharp && !r.whole; });
}

void LargeViewCache::StandInShown() { shownTicket_ = ticket_; }

void LargeViewCache::Whole(const std::vector<std::string>& paths) {
    {
        std::lock_guard guard(lock_);
        std::erase_if(pending_, [](const Request& r) { return r.whole; });
        for (auto p = paths.rbegin(); p != paths.rend(); ++p)
            if (!wholeInflight_.contains(*p)) pending_.push_front({*p, {}, true, 0, true});
    }
    topUp();
}

const LargeViewCache::View* LargeViewCache::find(const std::string& path) const {
    const auto found = views_.find(path);
    return found == views_.end() ? nullptr : &found->second.view;
}

void LargeViewCache::Forget(const std::string& path) { views_.erase(path); }

void LargeViewCache::Clear() {
    views_.clear();
    window_.clear();
    std::lock_guard guard(lock_);
    pending_.clear();
}

std::vector<std::string> LargeViewCache::queued() const {
    std::lock_guard guard(lock_);
    std::vector<std::string> out;
    for (const Request& r : pending_) out.push_back(r.path);
    return out;
}

std::vector<std::string> LargeViewCache::started() const {
    std::lock_guard guard(lock_);
    return started_;
}

bool LargeViewCache::has(const std::string& path) const { return views_.contains(path); }

void LargeViewCache::topUp() {
    std::size_t waiting = 0;
    int busy = 0;
    {
        std::lock_guard guard(lock_);
        waiting = pending_.size();
        busy = busy_;
    }
    // A job posted and not yet decoding takes the next request; one decoding takes none, so
    // a worker left idle while the other decodes is given the request waiting.
    while (tokens_ < threads_ && static_cast<std::size_t>(tokens_ - busy) < waiting) {
        ++tokens_;
        worker_->Post([this](const std::atomic<bool>&) { return take(); });
    }
}

LargeViewCache::Outcome LargeViewCache::take() {
    Outcome outcome;
    {
        std::lock_guard guard(lock_);
        if (pending_.empty()) return outcome;
        outcome.request = std::move(pending_.front());
        pending_.pop_front();
        ++busy_;
        if (!outcome.request.sharp) inflight_.insert(outcome.request.path);
        if (outcome.request.whole) wholeInflight_.insert(outcome.request.path);
        if (outcome.request.ticket != 0) ++wantedInFlight_;
        if (started_.size() >= kStartedKept) started_.erase(started_.begin());
        started_.push_back(outcome.request.path);
    }
    outcome.any = true;
    const Request& r = outcome.request;
    try {
        outcome.view = decoder_(r.path, r.target, r.sharp, peaking_.load() && !r.whole);
    } catch (const std::bad_alloc&) {
        outcome.view.error = QStringLiteral("not enough memory to read it");
    } catch (const std::exception& e) {
        outcome.view.error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        outcome.view.error = QStringLiteral("the reader failed");
    }
    outcome.view.path = r.path;
    outcome.view.sharp = r.sharp;
    return outcome;
}

void LargeViewCache::finished(Outcome& outcome) {
    --tokens_;
    if (outcome.any) {
        const Request& r = outcome.request;
        {
            std::lock_guard guard(lock_);
            --busy_;
            if (!r.sharp) inflight_.erase(r.path);
            if (!r.sharp && r.ticket != 0) --wantedInFlight_;
        }
        if (r.whole) {
            {
                std::lock_guard guard(lock_);
                wholeInflight_.erase(r.path);
            }
            if (onDecoded) onDecoded(outcome.view);
        } else if (r.sharp) {
            if (sharpWanted_ && r.path == wanted_ && onView) onView(outcome.view);
        } else if (r.target == target_) {
            if (onDecoded) onDecoded(outcome.view);
            Kept& kept = views_[r.path];
            kept.view = std::move(outcome.view);
            kept.used = ++clock_;
            // The wanted picture, or one a step before wanted when nothing newer is on screen.
            const bool wanted = r.path == wanted_ && !wanted_.empty();
            const bool shown = wanted || (!wanted_.empty() && r.ticket > shownTicket_);
            if (shown) shownTicket_ = wanted ? ticket_ : r.ticket;
            evict();
            if (shown && onView) {
                if (const auto it = views_.find(r.path); it != views_.end())
                    onView(it->second.view);
            }
        } else if (r.path == wanted_) {
            // Decoded for a size the view no longer has: again at the new one, first.
            Prefetch(r.path);
        }
        // The steps paused (the wanted picture is here, none a step wanted is decoding): the
        // neighbours come next.
        std::lock_guard guard(lock_);
        if (wantedInFlight_ == 0 && usable(wanted_)) queueWindow();
    }
    topUp();
}

void LargeViewCache::evict() {
    const auto bytes = [this] {
        std::size_t sum = 0;
        for (const auto& [path, kept] : views_)
            sum += static_cast<std::size_t>(kept.view.image.sizeInBytes()) +
                   static_cast<std::size_t>(kept.view.peaking.sizeInBytes());
        return sum;
    };
    while (views_.size() > 1 && (views_.size() > kMaxViews || bytes() > kMaxBytes)) {
        // Out of the window first, the least recently used first; the wanted one stays.
        auto victim = views_.end();
        bool victimInWindow = true;
        for (auto it = views_.begin(); it != views_.end(); ++it) {
            if (it->first == wanted_) continue;
            const bool inWindow =
                std::find(window_.begin(), window_.end(), it->first) != window_.end();
            if (victim == views_.end() || (victimInWindow && !inWindow) ||
                (inWindow == victimInWindow && it->second.used < victim->second.used)) {
                victim = it;
                victimInWindow = inWindow;
            }
        }
        if (victim == views_.end()) return;
        views_.erase(victim);
    }
}
