#include "capture/DesktopTrash.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trash {
namespace {

constexpr int kNameTries = 1000;   // "name", "name.2", ... "name.1000"

std::string why(const char* what, const std::string& path, int error) {
    return std::string(what) + " " + path + ": " + std::strerror(error);
}

// Makes folder and its missing parents (mode 0700 for those made).
bool makeFolders(const std::string& folder) {
    for (std::size_t at = 1; at != std::string::npos;) {
        at = folder.find('/', at + 1);
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
    return S_ISDIR(st.st_mode);
}

std::string homeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return std::string(home) + "/.local/share/Trash";
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char here[4096];
    if (::getcwd(here, sizeof here) == nullptr) return path;
    return std::string(here) + "/" + path;
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The device of path or, when it does not exist yet, of its nearest parent that does.
bool deviceOf(std::string path, dev_t& device) {
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        if (path == "/" || path.empty()) return false;
        path = parentOf(path);
    }
}

// The top folder of the volume that holds folder: the last parent on the same device.
std::string volumeTop(std::string folder, dev_t device) {
    while (folder != "/") {
        const std::string up = parentOf(folder);
        struct stat st {};
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != device) break;
        folder = up;
    }
    return folder;
}

// The trashinfo Path: every byte but the unreserved ones and '/' as %XX.
std::string escaped(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) != 0 || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

}   // namespace

std::string MoveToTrash(const std::string& given, std::string* trashed) {
    const std::string path = absolute(given);
    struct stat self {};
    if (::lstat(path.c_str(), &self) != 0) return why("cannot find", path, errno);

    // The home trash when it is on the file's volume, else the volume's own.
    std::string top = homeTrash(), infoPathBase;   // Path= relative to the volume, there
    dev_t homeDevice = 0;
    if (!top.empty() && deviceOf(top, homeDevice) && homeDevice == self.st_dev) {
        for (const char* part : {"/files", "/info"})
            if (!makeFolders(top + part))
                return why("the trash folder cannot be made:", top + part, errno);
    } else {
        const std::string volume = volumeTop(parentOf(path), self.st_dev);
        const std::string own =
            (volume == "/" ? "" : volume) + "/.Trash-" + std::to_string(::getuid());
        if (!makeFolders(own + "/files") || !makeFolders(own + "/info"))
            return why("no trash on its volume:", own, errno);
        top = own;
        infoPathBase = volume == "/" ? "/" : volume + "/";
    }
    for (const char* part : {"/files", "/info"}) {
        const std::string folder = top + part;
        if (::access(folder.c_str(), W_OK | X_OK) != 0)
            return why("the trash folder is not writable:", folder, errno);
    }

    const std::string name = path.substr(path.rfind('/') + 1);
    const std::string shown = infoPathBase.empty() ? path : path.substr(infoPathBase.size());
    const std::string info =
        "[Trash Info]\nPath=" + escaped(shown) + "\nDeletionDate=" + now() + "\n";
    for (int n = 1; n <= kNameTries; ++n) {
        const std::string inTrash = n == 1 ? name : name + "." + std::to_string(n);
        const std::string infoFile = top + "/info/" + inTrash + ".trashinfo";
        // Creating the info file first claims the name, as other programs expect.
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return why("cannot write", infoFile, errno);
        const bool written = ::write(fd, info.data(), info.size()) == ssize_t(info.size());
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(infoFile.c_str());
            return why("cannot write", infoFile, written ? errno : writeError);
        }
        const std::string target = top + "/files/" + inTrash;
        struct stat taken {};
        if (::lstat(target.c_str(), &taken) == 0) {   // a file left without its info
            ::unlink(infoFile.c_str());
            continue;
        }
        if (::rename(path.c_str(), target.c_str()) != 0) {
            const int error = errno;
            ::unlink(infoFile.c_str());
            return why("cannot move", path, error);
        }
        if (trashed) *trashed = target;
        return {};
    }
    return "the trash holds too many files named " + name;
}

std::string RestoreFromTrash(const std::string& trashed, const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return "another file is at " + path;
    // link() never replaces what appeared meanwhile; the trashed name goes once linked.
    if (::link(trashed.c_str(), path.c_str()) == 0) ::unlink(trashed.c_str());
    else if ((errno != EPERM && errno != EOPNOTSUPP) ||
             ::rename(trashed.c_str(), path.c_str()) != 0)
        return why("cannot restore", trashed, errno);   // no hard links there: a rename
    const std::string files = parentOf(trashed);
    const std::string info =
        parentOf(files) + "/info/" + trashed.substr(trashed.rfind('/') + 1) + ".trashinfo";
    ::unlink(info.c_str());
    return {};
}

}   // namespace trash
