// Temporary file, fsync, link to the capture name (fails rather than replace), unlink.
#include "sdk/gphoto/CaptureFile.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gphoto {

WriteResult WriteCaptureFile(const std::string& path, const std::function<bool(int fd)>& fill) {
    static std::atomic<unsigned> serial{0};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string temp = folder + ".kestrel-" + std::to_string(::getpid()) + "-" +
                             std::to_string(serial.fetch_add(1)) + ".part";
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return WriteResult::Exists;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return WriteResult::OpenFailed;
    bool ok = fill(fd);
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    WriteResult result = WriteResult::Ok;
    if (!ok) {
        result = WriteResult::WriteFailed;
    } else if (::link(temp.c_str(), path.c_str()) != 0) {
        result = errno == EEXIST ? WriteResult::Exists : WriteResult::WriteFailed;
    }
    ::unlink(temp.c_str());
    return result;
}

}  // namespace gphoto
