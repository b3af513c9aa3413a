// Temporary names and the removal of leftovers.
#include "sdk/TempFiles.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sdk {
namespace {

std::uint64_t RandomBits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
    // No entropy yet (very early boot): the device is still not something to guess.
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device();
}

bool EndsWith(const char* name, const std::string& suffix) {
    const std::size_t length = std::strlen(name);
    return length >= suffix.size() &&
           std::strcmp(name + length - suffix.size(), suffix.c_str()) == 0;
}

// A leftover of a process that has ended: prefix + "<pid>-" ... suffix.
bool IsLeftover(const char* name, const std::string& prefix, const std::string& suffix) {
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0 || !EndsWith(name, suffix))
        return false;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(name + prefix.size(), &end, 10);
    if (errno != 0 || end == name + prefix.size() || *end != '-' || pid <= 0) return false;
    if (pid == ::getpid()) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}   // namespace

std::string TempName(const std::string& prefix, const std::string& suffix) {
    char random[24];
    std::snprintf(random, sizeof random, "%016llx", static_cast<unsigned long long>(RandomBits()));
    return prefix + std::to_string(::getpid()) + "-" + random + suffix;
}

int RemoveTempLeftovers(const std::string& folder, const std::string& prefix,
                        const std::string& suffix) {
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return 0;
    DIR* listing = ::fdopendir(dir);
    if (!listing) {
        ::close(dir);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsLeftover(entry->d_name, prefix, suffix)) continue;
        struct stat st;
        if (::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::unlinkat(dir, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(listing);
    return removed;
}

}   // namespace sdk
