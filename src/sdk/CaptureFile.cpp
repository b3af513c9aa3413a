// Capture files: the hidden temporary, the sync, the move that never replaces, leftovers.
#include "sdk/CaptureFile.h"

#include "sdk/TempFiles.h"
#include "sdk/sdk.h"

#include <algorithm>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sdk {
namespace {

// The name after fileName: its last run of digits before the extension ("Photo-0009.jpg",
// "2026-12-09_0009_Smith.jpg") one higher, as many digits as before or more when needed; empty
// when the name has no digits there or they are past 2^32 - 2.
std::string NextNumbered(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::size_t end = dot;
    while (end > 0 && (fileName[end - 1] < '0' || fileName[end - 1] > '9')) --end;
    std::size_t begin = end;
    while (begin > 0 && fileName[begin - 1] >= '0' && fileName[begin - 1] <= '9') --begin;
    if (begin == end) return {};
    std::uint64_t number = 0;
    for (std::size_t i = begin; i < end; ++i) {
        number = number * 10 + static_cast<std::uint64_t>(fileName[i] - '0');
        if (number > 0xFFFFFFFFu) return {};
    }
    if (number == 0xFFFFFFFFu) return {};
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*u", static_cast<int>(end - begin),
                  static_cast<unsigned>(number + 1));
    return fileName.substr(0, begin) + digits + fileName.substr(end);
}

// Moves from to to inside dir without replacing anything: 0, EEXIST when to is taken, or errno.
int MoveNoReplace(int dir, const char* from, const char* to) {
    if (::renameat2(dir, from, dir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // No such rename here: a hard link fails with EEXIST on any existing entry.
    if (::linkat(dir, from, dir, to, 0) != 0) return errno;
    ::unlinkat(dir, from, 0);
    return 0;
}

}   // namespace

CaptureFile::~CaptureFile() { discard(); }

int CaptureFile::open(const std::string& path) {
    discard();
    const std::size_t slash = path.rfind('/');
    folder_ = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    fileName_ = slash == std::string::npos ? path : path.substr(slash + 1);
    if (fileName_.empty() || fileName_ == "." || fileName_ == "..") return EINVAL;
    const std::string dirPath = folder_.empty() ? "." : folder_;
    dir_ = ::open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_ < 0) return errno;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName_ = TempName(kTempPrefix, kTempSuffix);
        fd_ = ::openat(dir_, tempName_.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) return 0;
        if (errno != EEXIST) break;
    }
    const int error = errno;
    tempName_.clear();
    discard();
    return error;
}

int CaptureFile::write(const void* data, std::size_t size) {
    if (fd_ < 0) return EBADF;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int CaptureFile::commit(std::string& savedPath) {
    if (fd_ < 0) return EBADF;
    int error = 0;
    if (::fsync(fd_) != 0) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    std::string name = fileName_;
    // Bounded: a folder holding a long run of taken numbers is a failure, not a long loop.
    for (int attempt = 0; error == 0 && attempt < 65536; ++attempt) {
        const int moved = MoveNoReplace(dir_, tempName_.c_str(), name.c_str());
        if (moved == 0) {
            tempName_.clear();
            ::fsync(dir_);   // the name itself survives a crash from here on
            savedPath = folder_ + name;
            discard();
            return 0;
        }
        if (moved != EEXIST) {
            error = moved;
            break;
        }
        name = NextNumbered(name);
        if (name.empty()) error = EEXIST;
    }
    if (error == 0) error = EEXIST;
    discard();
    return error;
}

void CaptureFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (dir_ >= 0) {
        if (!tempName_.empty()) ::unlinkat(dir_, tempName_.c_str(), 0);
        ::close(dir_);
    }
    dir_ = -1;
    tempName_.clear();
}

int CaptureFile::RemoveLeftovers(const std::string& folder) {
    return RemoveTempLeftovers(folder, kTempPrefix, kTempSuffix);
}

void ReportSaved(const StorageMedium* medium, const std::string& saved) {
    if (!medium || !medium->savedPath || medium->savedCapacity == 0) return;
    const std::size_t n = std::min<std::size_t>(saved.size(), medium->savedCapacity - 1);
    std::memcpy(medium->savedPath, saved.data(), n);
    medium->savedPath[n] = '\0';
}

int CaptureFile::WriteWhole(const std::string& path, const void* bytes, std::size_t size,
                            std::string& saved) {
    saved.clear();
    CaptureFile file;
    if (const int e = file.open(path)) return e;
    if (const int e = file.write(bytes, size)) return e;
    return file.commit(saved);
}

}   // namespace sdk
