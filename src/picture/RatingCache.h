// The ratings of a folder's pictures as their sidecars hold them, for the Review strip's marks
// and filter: a sidecar is read again only when its file, size or time of change moved, so a listing
// of 20,000 pictures costs their stats; the sidecars not read yet are read kReadBatch at a time
// (newest first), each batch a job of its own, so a listing is never held up by thousands of
// them. Poll notices a rating another program (darktable,
// digiKam) changed in place. The same read gives the client's pick, recorded in a ClientPicks
// (ClientPicks::Shared() unless given another) for the strip's hearts; a pick that moved is a
// change too. No Qt; one thread at a time (the Review tab's folder worker).
#pragma once

#include "picture/ClientPicks.h"
#include "picture/PictureList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace picture {

class RatingCache {
public:
    using Rating = std::optional<int>;
    using Change = std::pair<std::string, Rating>;   // a picture's path, its rating now

    static constexpr std::size_t kReadBatch = 200;

    explicit RatingCache(ClientPicks& picks = ClientPicks::Shared()) : picks_(picks) {}
    ~RatingCache();   // its pictures' picks are forgotten

    // The rating of each of entries, in their order (none for a picture without a sidecar or
    // one left by an earlier picture of its number: PictureRating's rule; none for one of the
    // sidecars past the first kReadBatch that changed, until ReadPending); forgets the rest.
    std::vector<Rating> Refresh(const std::vector<PictureEntry>& entries);
    // Reads the next kReadBatch sidecars Refresh left; the pictures with a rating or a pick.
    std::vector<Change> ReadPending();
    bool pending() const { return !pending_.empty(); }
    // The pictures whose sidecar (one known from the last Refresh) changed since, with their
    // ratings now (a pick set or cleared is a change, its rating unchanged); a sidecar that
    // appeared is found by the next Refresh.
    std::vector<Change> Poll();
    // Takes a rating this program wrote (its sidecar is read again on the next change).
    void Wrote(const std::string& picture, Rating rating);

private:
    struct Seen {
        std::string sidecar;   // the path stated, empty when there was none
        std::int64_t changedNs = -1, size = -1, pictureNs = -1;
        std::uint64_t inode = 0;   // a sidecar replaced by a rename is another file
        Rating rating;
        bool picked = false;   // the client's pick
        bool unread = false;   // the sidecar is to be read by ReadPending
    };
    // The sidecar's stat, with the rating of before when unchanged, else read when read is true
    // (then read says whether it was), else unread.
    Seen look(const std::string& picture, const Seen* before, bool& read) const;
    ClientPicks& picks_;
    std::unordered_map<std::string, Seen> seen_;   // by picture path
    std::vector<std::string> pending_;             // pictures whose sidecar is to be read
    std::size_t next_ = 0;                         // in pending_
};

}   // namespace picture
