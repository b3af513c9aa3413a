#include "picture/RatingCache.h"

#include "picture/Sidecar.h"

#include <sys/stat.h>

namespace picture {
namespace {

std::int64_t nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}   // namespace

RatingCache::Seen RatingCache::look(const std::string& picture, const Seen* before,
                                    bool& read) const {
    Seen now;
    struct stat st {};
    for (const std::string& sidecar : {SidecarPath(picture), StemSidecarPath(picture)}) {
        if (sidecar.empty() || ::stat(sidecar.c_str(), &st) != 0) continue;
        now.sidecar = sidecar;
        now.changedNs = nanoseconds(st.st_ctim);
        now.size = static_cast<std::int64_t>(st.st_size);
        now.inode = static_cast<std::uint64_t>(st.st_ino);
        break;
    }
    if (now.sidecar.empty()) {
        read = false;
        return now;
    }
    if (::stat(picture.c_str(), &st) == 0) now.pictureNs = nanoseconds(st.st_mtim);
    if (before && !before->unread && before->sidecar == now.sidecar &&
        before->changedNs == now.changedNs && before->size == now.size &&
        before->inode == now.inode && before->pictureNs == now.pictureNs) {
        now.rating = before->rating;
        now.picked = before->picked;
        read = false;
    } else if (read) {
        const SidecarMarks marks = PictureMarks(picture);
        now.rating = marks.rating;
        now.picked = marks.clientPick;
    } else {
        now.unread = true;
        if (before) now.picked = before->picked;   // until it is read
    }
    return now;
}

std::vector<RatingCache::Rating> RatingCache::Refresh(const std::vector<PictureEntry>& entries) {
    std::unordered_map<std::string, Seen> next;
    next.reserve(entries.size());
    std::vector<Rating> out;
    out.reserve(entries.size());
    pending_.clear();
    next_ = 0;
    std::size_t reads = 0;
    for (const PictureEntry& e : entries) {
        const auto found = seen_.find(e.path);
        bool read = reads < kReadBatch;
        Seen now = look(e.path, found == seen_.end() ? nullptr : &found->second, read);
        if (read) ++reads;
        if (now.unread) pending_.push_back(e.path);
        out.push_back(now.rating);
        picks_.Set(e.path, now.picked);
        next.emplace(e.path, std::move(now));
    }
    for (const auto& [picture, seen] : seen_)
        if (seen.picked && !next.count(picture)) picks_.Set(picture, false);
    seen_ = std::move(next);
    return out;
}

std::vector<RatingCache::Change> RatingCache::ReadPending() {
    std::vector<Change> out;
    for (std::size_t count = 0; next_ < pending_.size() && count < kReadBatch; ++next_, ++count) {
        const auto found = seen_.find(pending_[next_]);
        if (found == seen_.end() || !found->second.unread) continue;
        bool read = true;
        found->second = look(found->first, nullptr, read);
        picks_.Set(found->first, found->second.picked);
        if (found->second.rating || found->second.picked)
            out.emplace_back(found->first, found->second.rating);
    }
    if (next_ == pending_.size()) pending_.clear(), next_ = 0;
    return out;
}

std::vector<RatingCache::Change> RatingCache::Poll() {
    std::vector<Change> out;
    for (auto& [picture, seen] : seen_) {
        if (seen.sidecar.empty() || seen.unread) continue;
        struct stat st {};
        if (::stat(seen.sidecar.c_str(), &st) == 0 && nanoseconds(st.st_ctim) == seen.changedNs &&
            static_cast<std::int64_t>(st.st_size) == seen.size &&
            static_cast<std::uint64_t>(st.st_ino) == seen.inode)
            continue;
        bool read = true;
        Seen now = look(picture, &seen, read);
        const bool moved = now.rating != seen.rating || now.picked != seen.picked;
        seen = std::move(now);
        picks_.Set(picture, seen.picked);
        if (moved) out.emplace_back(picture, seen.rating);
    }
    return out;
}

void RatingCache::Wrote(const std::string& picture, Rating rating) {
    const auto found = seen_.find(picture);
    if (found == seen_.end()) return;
    bool read = false;
    const bool picked = found->second.picked;   // a rating written keeps the label
    found->second = look(picture, nullptr, read);
    found->second.unread = false;
    found->second.rating = rating;
    found->second.picked = picked;
    picks_.Set(picture, found->second.picked);
}

RatingCache::~RatingCache() {
    for (const auto& [picture, seen] : seen_)
        if (seen.picked) picks_.Set(picture, false);
}

}   // namespace picture
