// What the client view may hand out: the numbered pictures of the capture folder (as the Review
// strip lists them), found by number only, opened without following a link and only when a
// regular file of that folder, and their sizes made here as JPEG. Any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace client {

struct ServedPicture {
    std::uint32_t number = 0;
    std::string fileName;   // no folder, never from a request
    std::string path;       // folder + fileName
    std::int64_t modifiedMs = 0;
    std::optional<int> rating;
    bool picked = false;
};

// One picture as the page reads it: {"n":12,"name":"Photo-0012.jpg",...}.
std::string PictureJson(const ServedPicture& picture);

class ServedPictures {
public:
    // This session's pictures, newest first (one a number: the JPEG of a RAW+JPEG pair).
    static std::vector<ServedPicture> List(const std::string& folder, const std::string& name);
    static std::optional<ServedPicture> Find(const std::string& folder, const std::string& name,
                                             std::uint32_t number);

    // The picture scaled so its width is about `width` (EXIF orientation applied), as JPEG;
    // empty with error set when it cannot be made.
    std::string Sized(const ServedPicture& picture, int width, std::string& error);
    // The file's bytes, opened as Sized opens it; empty with error set when refused.
    static std::string Original(const ServedPicture& picture, std::string& error);

private:
    struct Key {
        std::string path;
        std::int64_t modifiedMs;
        int width;
        auto operator<=>(const Key&) const = default;
    };
    std::mutex lock_;   // guards cache_ and order_
    std::map<Key, std::string> cache_;
    std::list<Key> order_;   // oldest first
    static constexpr std::size_t kCacheEntries = 256;
};

// A descriptor of folder/fileName: opened without following a link, a regular file; -1 (and
// error) otherwise.
int OpenPictureFile(const std::string& path, std::string& error);

}   // namespace client
