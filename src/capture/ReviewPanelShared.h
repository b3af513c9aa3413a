// What the Review panel's source files share: the folder worker's result and the helpers for
// paths and the strip's order. Included by the panel's own source files only.
#pragma once

#include "capture/CReviewPanel.h"
#include "capture/ReviewCull.h"
#include "picture/PictureList.h"
#include "picture/RatingCache.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace reviewpanel {

inline constexpr int kPathRole = reviewrole::Path;
inline constexpr int kLoadedRole = reviewrole::Loaded;

inline QString shown(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

inline QString shownName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return shown(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The strip's order: highest number first, the same number by file name.
inline bool before(const picture::PictureEntry& a, const picture::PictureEntry& b) {
    return a.number != b.number ? a.number > b.number : a.fileName < b.fileName;
}

// A regular file at path (a sidecar's name may hold a folder or a fifo: not ours to move).
inline bool regularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}   // namespace reviewpanel

struct CReviewPanel::Done {
    enum What { Listed, Rated, Trashed, Restored, Polled, ReadOn } what = Listed;
    std::uint64_t generation = 0;
    std::vector<picture::PictureEntry> entries;   // Listed
    std::vector<std::string> files;               // Rated, Trashed: the files rated, moved
    std::optional<int> rating;
    std::string failure;                                      // Rated, Trashed: why not
    std::vector<std::pair<std::string, std::string>> moved;   // Trashed: from, to
    std::vector<std::optional<int>> ratings;                  // Listed: of each entry
    // Listed: each RAW+JPEG pair's JPEG, its RAW files
    std::unordered_map<std::string, std::vector<std::string>> pairs;
    std::vector<picture::RatingCache::Change> changes;   // Polled: ratings changed
    std::vector<std::string> emptied;   // Polled: trashed files no longer in the trash
    bool more = false;                  // Listed, ReadOn: sidecars left to read
};
