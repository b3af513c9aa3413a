#include "picture/SeriesCache.h"

#include "picture/PictureList.h"
#include "picture/Sidecar.h"

#include <sys/stat.h>

namespace picture {

std::vector<SeriesCache::Series> SeriesCache::Refresh(const std::vector<std::string>& pictures) {
    std::unordered_map<std::string, Seen> next;
    next.reserve(pictures.size());
    std::vector<Series> out;
    out.reserve(pictures.size());
    std::size_t reads = 0;
    pending_ = false;
    for (const std::string& picture : pictures) {
        Seen now;
        struct stat st {};
        for (const std::string& sidecar : {SidecarPath(picture), StemSidecarPath(picture)}) {
            if (sidecar.empty() || ::stat(sidecar.c_str(), &st) != 0) continue;
            now.sidecar = sidecar;
            now.changedNs =
                static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
            now.size = static_cast<std::int64_t>(st.st_size);
            now.inode = static_cast<std::uint64_t>(st.st_ino);
            break;
        }
        const auto found = seen_.find(picture);
        const bool same = found != seen_.end() && found->second.sidecar == now.sidecar &&
                          found->second.changedNs == now.changedNs &&
                          found->second.size == now.size && found->second.inode == now.inode;
        if (now.sidecar.empty()) {
            // no sidecar: no series
        } else if (same) {
            now.series = found->second.series;
        } else if (reads < kReadBatch) {
            ++reads;
            now.series = SeriesOf(ReadKeywords(picture));
        } else {
            pending_ = true;
            now.changedNs = -1;   // read on a later look
        }
        out.push_back(now.series);
        next.emplace(picture, std::move(now));
    }
    seen_ = std::move(next);
    return out;
}

}   // namespace picture
