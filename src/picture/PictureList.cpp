#include "picture/PictureList.h"

#include "document/CaptureNaming.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace picture {
namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The name without its last extension, in lower case.
std::string stemOf(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    return lower(dot == std::string::npos ? fileName : fileName.substr(0, dot));
}

// When path was last written, in seconds; empty when it is not a regular file.
std::optional<long long> writtenAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<long long>(st.st_mtim.tv_sec);
}

}   // namespace

std::vector<PictureEntry> ListPictures(const std::string& folder, const std::string& name) {
    namespace fs = std::filesystem;
    std::vector<PictureEntry> out;
    if (name.empty()) return out;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string fileName = it->path().filename().string();
        const std::size_t dot = fileName.rfind('.');
        if (fileName.empty() || fileName[0] == '.' || dot == std::string::npos) continue;
        const std::string ext = fileName.substr(dot + 1);
        if (lower(ext) == "xmp" || !CaptureNaming::Matches(fileName, name, ext)) continue;
        // The capture numbering: the name, a dash, digits.
        if (fileName.size() < name.size() + 2 || fileName[name.size()] != '-' ||
            fileName[name.size() + 1] < '0' || fileName[name.size() + 1] > '9')
            continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const auto number = CaptureNaming::ReadNumber(fileName, name.size());
        if (!number) continue;
        out.push_back({it->path().string(), fileName, *number});
    }
    std::sort(out.begin(), out.end(), [](const PictureEntry& a, const PictureEntry& b) {
        return a.number != b.number ? a.number > b.number : a.fileName < b.fileName;
    });
    return out;
}

std::string StemSidecarPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        return {};
    return path.substr(0, dot) + ".xmp";
}

std::string SidecarFor(const std::string& path) {
    struct stat st {};
    const std::string full = SidecarPath(path), stem = StemSidecarPath(path);
    if (stem.empty() || ::lstat(full.c_str(), &st) == 0 || ::lstat(stem.c_str(), &st) != 0)
        return full;
    return stem;
}

std::vector<std::string> PairOf(const std::string& path) {
    namespace fs = std::filesystem;
    std::vector<std::string> out{path};
    const std::optional<long long> written = writtenAt(path);
    if (!written) return out;
    const fs::path self(path);
    const std::string stem = stemOf(self.filename().string());
    std::error_code error;
    fs::path parent = self.parent_path();
    if (parent.empty()) parent = ".";
    for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
        const std::string fileName = it->path().filename().string();
        if (fileName == self.filename().string() || fileName.empty() || fileName[0] == '.')
            continue;
        const std::size_t dot = fileName.rfind('.');
        if (dot == std::string::npos || lower(fileName.substr(dot + 1)) == "xmp") continue;
        if (stemOf(fileName) != stem) continue;
        const std::string other = (parent / fileName).string();
        const std::optional<long long> otherWritten = writtenAt(other);
        if (otherWritten && std::llabs(*otherWritten - *written) <= kPairSeconds)
            out.push_back(other);
    }
    std::sort(out.begin() + 1, out.end());
    return out;
}

}   // namespace picture
