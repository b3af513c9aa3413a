// Reading and writing config.cfg.
#include "document/ConfigFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace config {
namespace {

// Beyond this the file is not a config.cfg of ours; what was read so far is used.
constexpr std::size_t kMaxFileBytes = 1 << 20;

// The next line from pos: up to "\n" or "\r\n" (consumed, not stored) or the end of data.
std::string NextLine(const std::string& data, std::size_t& pos) {
    const std::size_t end = data.find('\n', pos);
    std::string line = data.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? data.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a save replaces: path itself, or the end of its chain of symlinks.
std::string ResolveLinks(std::string path) {
    for (int depth = 0; depth < 16; ++depth) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) return path;
        target[n] = '\0';
        path = target[0] == '/' ? std::string(target) : DirectoryOf(path) + target;
    }
    return path;
}

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

}   // namespace

bool Load(const std::string& path, std::string& folder, std::string& name) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return false;
    std::string data;
    char buffer[4096];
    while (in && data.size() < kMaxFileBytes) {
        in.read(buffer, sizeof buffer);
        data.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    std::size_t pos = 0;
    folder = NextLine(data, pos);
    name = NextLine(data, pos);
    return true;
}

bool Save(const std::string& path, const std::string& folder, const std::string& name,
          std::string& error) {
    for (const std::string* value : {&folder, &name}) {
        if (value->find_first_of("\r\n") != std::string::npos) {
            error = std::string("the capture ") + (value == &folder ? "folder" : "name") +
                    " holds a line break; " + path + " is left as it was";
            return false;
        }
    }
    const std::string target = ResolveLinks(path);
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISREG(st.st_mode) && ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                                    ::access(target.c_str(), W_OK) != 0)) {
            error = target + " is read-only; it is left as it was";
            return false;
        }
        mode = st.st_mode & 07777;
    }
    const std::string directory = DirectoryOf(target);
    std::string temp = directory + "." + target.substr(directory.size()) + ".XXXXXX";   // hidden
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a temporary file beside " + target + ": " + std::strerror(errno);
        return false;
    }
    const auto fail = [&](const std::string& what) {
        error = what + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    };
    if (::fchmod(fd, mode) != 0) return fail("cannot set the mode of " + temp);
    if (!WriteAll(fd, folder + "\n" + name)) return fail("cannot write " + temp);
    if (::fsync(fd) != 0 && errno != EINVAL) return fail("cannot flush " + temp);
    if (::close(fd) != 0) {
        error = "cannot close " + temp + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot replace " + target + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}   // namespace config
