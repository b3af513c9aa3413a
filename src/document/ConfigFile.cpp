// Reading and writing config.cfg.
#include "document/ConfigFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace config {
namespace {

// A line reader with the rules of a text stream read line by line into a 255-character
// buffer: stops at a line end (consumed, not stored), at the end of the file, or after
// kMaxLineLength characters; in the last case the stream fails. A failed or ended stream
// reads nothing more.
class LineReader {
public:
    explicit LineReader(std::string data) : data_(std::move(data)) {}

    std::string next() {
        std::string line;
        if (failed_ || ended_) return line;
        if (pos_ >= data_.size()) {   // nothing left: the read fails at the end of the file
            ended_ = true;
            return line;
        }
        while (true) {
            if (pos_ >= data_.size()) {
                ended_ = true;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            const char c = data_[pos_];
            if (c == '\n') {
                ++pos_;
                return line;
            }
            if (c == '\r' && pos_ + 1 < data_.size() && data_[pos_ + 1] == '\n') {
                pos_ += 2;
                return line;
            }
            if (line.size() == kMaxLineLength) {
                failed_ = true;
                return line;
            }
            line.push_back(c);
            ++pos_;
        }
    }

private:
    std::string data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    bool ended_ = false;
};

}  // namespace

bool Load(const std::string& path, std::string& folder, std::string& name) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return false;
    // Two lines of at most 254 characters are all that is read; stop reading a huge file early.
    std::string data;
    data.reserve(4 * kMaxLineLength);
    char buffer[4096];
    while (in && data.size() < 16 * kMaxLineLength) {
        in.read(buffer, sizeof buffer);
        data.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    LineReader reader(std::move(data));
    folder = reader.next();
    name = reader.next();
    return true;
}

bool Save(const std::string& path, const std::string& folder, const std::string& name,
          std::string& error) {
    const std::string temp = path + ".tmp";
    const std::string text = folder + "\n" + name;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "cannot write " + temp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        error = "cannot flush " + temp + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    if (::close(fd) != 0) {
        error = "cannot close " + temp + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace config
