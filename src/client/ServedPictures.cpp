#include "client/ServedPictures.h"

#include "picture/PictureList.h"
#include "picture/Preview.h"
#include "picture/Sidecar.h"

#include <turbojpeg.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>

namespace client {

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isJpegName(const std::string& name) {
    const std::string l = lower(name);
    return l.ends_with(".jpg") || l.ends_with(".jpeg");
}

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        } else out += c;
    }
    return out + "\"";
}

// pixels turned as EXIF orientation 3, 6 or 8 asks (the flips are left as stored).
picture::Pixels oriented(picture::Pixels in, int orientation) {
    if (orientation != 3 && orientation != 6 && orientation != 8) return in;
    picture::Pixels out;
    const bool quarter = orientation != 3;
    out.width = quarter ? in.height : in.width;
    out.height = quarter ? in.width : in.height;
    out.rgb.resize(in.rgb.size());
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            int ox = x, oy = y;
            if (orientation == 3) ox = in.width - 1 - x, oy = in.height - 1 - y;
            else if (orientation == 6) ox = in.height - 1 - y, oy = x;
            else ox = y, oy = in.width - 1 - x;
            std::memcpy(&out.rgb[(static_cast<std::size_t>(oy) * out.width + ox) * 3],
                        &in.rgb[(static_cast<std::size_t>(y) * in.width + x) * 3], 3);
        }
    return out;
}

std::string readAll(int fd, std::string& error);

std::string encodeJpeg(const picture::Pixels& pixels, std::string& error) {
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int rc =
        tj ? tjCompress2(tj, pixels.rgb.data(), pixels.width, pixels.width * 3, pixels.height,
                         TJPF_RGB, &jpeg, &size, TJSAMP_420, 82, TJFLAG_FASTDCT)
           : -1;
    std::string out;
    if (rc == 0) out.assign(reinterpret_cast<const char*>(jpeg), size);
    else error = "cannot be encoded";
    if (jpeg) tjFree(jpeg);
    if (tj) tjDestroy(tj);
    return out;
}

}   // namespace

std::string PictureJson(const ServedPicture& p) {
    return "{\"n\":" + std::to_string(p.number) + ",\"name\":" + jsonText(p.fileName) +
           ",\"time\":" + std::to_string(p.modifiedMs) +
           ",\"rating\":" + (p.rating ? std::to_string(*p.rating) : std::string("null")) +
           ",\"pick\":" + (p.picked ? "true" : "false") + "}";
}

std::vector<ServedPicture> ServedPictures::List(const std::string& folder,
                                                const std::string& name) {
    std::vector<ServedPicture> out;
    std::set<std::uint32_t> seen;
    const std::vector<picture::PictureEntry> entries = picture::ListPictures(folder, name);
    for (const picture::PictureEntry& e : entries) {
        if (seen.count(e.number)) continue;
        // The JPEG of a pair is the one shown; else the first of the number.
        const picture::PictureEntry* chosen = &e;
        for (const picture::PictureEntry& other : entries)
            if (other.number == e.number && isJpegName(other.fileName)) {
                chosen = &other;
                break;
            }
        seen.insert(e.number);
        struct stat st {};
        if (::lstat(chosen->path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        ServedPicture p;
        p.number = chosen->number;
        p.fileName = chosen->fileName;
        p.path = chosen->path;
        p.modifiedMs =
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1'000'000;
        p.rating = picture::PictureRating(p.path);
        p.picked = picture::ReadClientPick(p.path);
        out.push_back(std::move(p));
    }
    return out;
}

std::optional<ServedPicture> ServedPictures::Find(const std::string& folder,
                                                  const std::string& name, std::uint32_t number) {
    for (ServedPicture& p : List(folder, name))
        if (p.number == number) return std::move(p);
    return std::nullopt;
}

int OpenPictureFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot be opened: ") + std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a regular file";
        return -1;
    }
    return fd;
}

std::string ServedPictures::Sized(const ServedPicture& picture, int width, std::string& error) {
    const Key key{picture.path, picture.modifiedMs, width};
    {
        std::lock_guard lock(lock_);
        if (const auto at = cache_.find(key); at != cache_.end()) return at->second;
    }
    const int fd = OpenPictureFile(picture.path, error);
    if (fd < 0) return {};
    // Read through the descriptor: whatever is at the name by now, it is the file checked.
    const std::string byFd = "/proc/self/fd/" + std::to_string(fd);
    // A JPEG larger than a thumbnail is decoded at the scale that fits (its embedded preview is
    // thumbnail-sized); another file gives its embedded preview of that size.
    picture::Pixels pixels;
    if (width > 320 && isJpegName(picture.fileName)) {
        std::string bytes = readAll(fd, error);
        if (bytes.empty()) {
            ::close(fd);
            return {};
        }
        pixels = picture::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     bytes.size(), width);
    } else {
        pixels = picture::ReadThumbnail(byFd, width);
    }
    const int orientation = picture::ReadOrientation(byFd);
    ::close(fd);
    if (!pixels.ok()) {
        error = pixels.error.empty() ? "cannot be read" : pixels.error;
        return {};
    }
    std::string jpeg = encodeJpeg(oriented(std::move(pixels), orientation), error);
    if (jpeg.empty()) return {};
    std::lock_guard lock(lock_);
    if (cache_.emplace(key, jpeg).second) order_.push_back(key);
    while (order_.size() > kCacheEntries) {
        cache_.erase(order_.front());
        order_.pop_front();
    }
    return jpeg;
}

std::string ServedPictures::Original(const ServedPicture& picture, std::string& error) {
    const int fd = OpenPictureFile(picture.path, error);
    if (fd < 0) return {};
    std::string bytes = readAll(fd, error);
    ::close(fd);
    return bytes;
}

namespace {
std::string readAll(int fd, std::string& error) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > picture::kMaxPictureFileBytes) {
            error = "too large";
            bytes.clear();
            break;
        }
    }
    if (bytes.empty() && error.empty()) error = "the file is empty";
    return bytes;
}
}   // namespace

}   // namespace client
