// Settings files replaced whole, logs appended record by record, neither through a link another
// user made nor onto a fifo or device.
#include "sdk/SettingsFile.h"

#include "sdk/TempFiles.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <ctime>
#include <fstream>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sdk {
namespace {

constexpr const char* kTempPrefix = ".kestrel-save-";
constexpr const char* kTempSuffix = ".tmp";

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Reason() { return std::strerror(errno); }

// "<path> is a fifo, not a regular file".
std::string NotRegular(const std::string& path, mode_t mode) {
    const char* kind = S_ISFIFO(mode)                   ? "a fifo"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISDIR(mode)                  ? "a folder"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISLNK(mode)                  ? "a symbolic link"
                                                        : "something else";
    return path + " is " + kind + ", not a regular file";
}

// The file path stands for: path itself, or the end of its chain of links when every link in it
// belongs to this user. False, with the reason, for a link someone else made.
bool ResolveOwnLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    for (int depth = 0; depth < 32; ++depth) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        if (st.st_uid != ::geteuid()) {
            error = target + " is a symbolic link another user made; it is not followed";
            return false;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link - 1);
        if (n <= 0) return true;   // gone meanwhile: the open says what is there now
        link[n] = '\0';
        target = link[0] == '/' ? std::string(link) : DirectoryOf(target) + link;
    }
    error = path + " is a chain of too many symbolic links";
    return false;
}

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

// Writes all of size bytes; returns how many went out before a failure (errno set).
std::size_t WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return written;
        if (n == 0) {
            errno = ENOSPC;
            return written;
        }
        written += static_cast<std::size_t>(n);
    }
    return written;
}

// ".config.cfg.XXXXXX" of mkstemp, as older versions named their temporaries.
bool IsOldTemporary(const char* name) {
    constexpr const char* kOld = ".config.cfg.";
    const std::size_t prefix = std::strlen(kOld);
    if (std::strncmp(name, kOld, prefix) != 0 || std::strlen(name) != prefix + 6) return false;
    for (const char* c = name + prefix; *c; ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9')))
            return false;
    return true;
}

}   // namespace

bool ReadSettingsFile(const std::string& path, std::size_t maxBytes, std::string& data,
                      std::string& error) {
    error.clear();
    data.clear();
    std::string target;
    if (!ResolveOwnLinks(path, target, error)) return false;
    const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return false;
        error = errno == ELOOP ? target + " became a symbolic link; it is not followed"
                               : "cannot read " + path + ": " + Reason();
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = NotRegular(path, st.st_mode) + "; it is not read";
        ::close(fd);
        return false;
    }
    char buffer[4096];
    while (data.size() < maxBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + Reason();
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    if (data.size() > maxBytes) data.resize(maxBytes);
    ::close(fd);
    return true;
}

bool ReplaceSettingsFile(const std::string& path, const std::string& text, std::string& error) {
    std::string target;
    if (!ResolveOwnLinks(path, target, error)) return false;
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            error = NotRegular(target, st.st_mode) + "; it is left as it was";
            return false;
        }
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::access(target.c_str(), W_OK) != 0) {
            error = target + " is read-only; it is left as it was";
            return false;
        }
        mode = st.st_mode & 07777;
    }
    const std::string directory = DirectoryOf(target);
    const std::string base = target.substr(directory.size());
    const int dir =
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        error = "cannot open the folder of " + target + ": " + Reason();
        return false;
    }
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
        temp = TempName(kTempPrefix, kTempSuffix);
        fd =
            ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = "cannot create a temporary file beside " + target + ": " + Reason();
        ::close(dir);
        return false;
    }
    const auto fail = [&](const std::string& what) {
        error = what + ": " + Reason();
        if (fd >= 0) ::close(fd);
        ::unlinkat(dir, temp.c_str(), 0);
        ::close(dir);
        return false;
    };
    if (::fchmod(fd, mode) != 0) return fail("cannot set the mode of " + target);
    if (WriteAll(fd, text.data(), text.size()) != text.size())
        return fail("cannot write " + target);
    if (::fsync(fd) != 0 && errno != EINVAL) return fail("cannot write " + target);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail("cannot write " + target);
    if (::renameat(dir, temp.c_str(), dir, base.c_str()) != 0)
        return fail("cannot replace " + target);
    ::fsync(dir);   // the new name itself survives a crash from here on
    ::close(dir);
    return true;
}

int RemoveSettingsLeftovers(const std::string& folder) {
    int removed = RemoveTempLeftovers(folder, kTempPrefix, kTempSuffix);
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return removed;
    DIR* listing = ::fdopendir(dir);
    if (!listing) {
        ::close(dir);
        return removed;
    }
    // An older version renamed its temporary within milliseconds: one a minute old is a
    // leftover of a kill, not a save under way.
    const std::time_t old = std::time(nullptr) - 60;
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsOldTemporary(entry->d_name)) continue;
        struct stat st;
        if (::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || st.st_mtime > old)
            continue;
        if (::unlinkat(dir, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(listing);
    return removed;
}

FolderLock::~FolderLock() { Unlock(); }

bool FolderLock::Lock(const std::string& folder, int waitMs, std::string& error) {
    Unlock();
    const std::string name = folder.empty() ? "." : folder;
    fd_ = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot open the folder " + name + ": " + Reason();
        return false;
    }
    // Polled, not waited on in the kernel: a writer that keeps the lock cannot hold this one
    // longer than waitMs.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return true;   // no locks here: unlocked, still whole
        if (std::chrono::steady_clock::now() >= until) {
            error = "another writer has kept the files in " + name + " locked for " +
                    std::to_string(waitMs) + " ms; try again";
            Unlock();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void FolderLock::Unlock() {
    if (fd_ >= 0) ::close(fd_);   // closing gives the lock back
    fd_ = -1;
}

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string& path, std::string& error) {
    Close();
    struct stat st;
    // Checked before opening too, so that not even an open reaches a device.
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = NotRegular(path, st.st_mode) + "; nothing is written to it";
        return false;
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                 0666);
    if (fd_ < 0) {
        error =
            errno == ELOOP ? path + " is a symbolic link; nothing is written through it" : Reason();
        return false;
    }
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = NotRegular(path, st.st_mode) + "; nothing is written to it";
        Close();
        return false;
    }
    wasEmpty_ = st.st_size == 0;
    char last = '\n';
    lineOpen_ = st.st_size > 0 && ::pread(fd_, &last, 1, st.st_size - 1) == 1 && last != '\n';
    return true;
}

bool AppendFile::Append(const std::string& record, std::string& error) {
    if (fd_ < 0) {
        error = "the file is not open";
        return false;
    }
    const std::string data = lineOpen_ ? "\r\n" + record : record;
    struct stat before;
    if (::fstat(fd_, &before) != 0) before.st_size = -1;
    const std::size_t written = WriteAll(fd_, data.data(), data.size());
    if (written == data.size()) {
        lineOpen_ = !data.empty() && data.back() != '\n';
        return true;
    }
    error = Reason();
    if (written == 0) return false;
    // Part of the record went out: cut it off again unless someone appended meanwhile.
    struct stat after;
    const bool cut = before.st_size >= 0 && ::fstat(fd_, &after) == 0 &&
                     after.st_size == before.st_size + static_cast<off_t>(written) &&
                     ::ftruncate(fd_, before.st_size) == 0;
    if (!cut) lineOpen_ = true;
    return false;
}

void AppendFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}   // namespace sdk
