// The series each listed picture belongs to, as the keywords in its sidecar say (a bracket's or
// a focus stack's keyword), for the Review strip's groups. A sidecar is read again only when its
// file, size or time of change moved, so a look at 20,000 pictures costs their stats; at most
// kReadBatch sidecars are read a look (the rest the next time: pending()). No Qt; one thread at
// a time (the strip's series worker).
#pragma once

#include "picture/SeriesKeyword.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace picture {

class SeriesCache {
public:
    static constexpr std::size_t kReadBatch = 200;
    using Series = std::optional<SeriesKeyword>;

    // The series of each picture, in their order (none for one without a sidecar, without a
    // series keyword, or whose changed sidecar is past this look's batch); forgets the rest.
    std::vector<Series> Refresh(const std::vector<std::string>& pictures);
    bool pending() const { return pending_; }

private:
    struct Seen {
        std::string sidecar;
        std::int64_t changedNs = -1, size = -1;
        std::uint64_t inode = 0;
        Series series;
    };
    std::unordered_map<std::string, Seen> seen_;
    bool pending_ = false;
};

}   // namespace picture
