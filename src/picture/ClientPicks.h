// The client's picks as the folder's rating caches last read them, for the Review strip's hearts:
// a cache records on its worker thread each pick it reads, the strip asks on the window thread
// by path. Only the picked paths are kept. Any thread.
#pragma once

#include <mutex>
#include <string>
#include <unordered_set>

namespace picture {

class ClientPicks {
public:
    // The one the rating caches fill and the strip reads.
    static ClientPicks& Shared();

    bool Picked(const std::string& picture) const;
    void Set(const std::string& picture, bool picked);

private:
    mutable std::mutex lock_;                  // guards picked_
    std::unordered_set<std::string> picked_;   // picture paths
};

}   // namespace picture
