#include "picture/PictureList.h"

#include "document/CaptureNaming.h"
#include "document/NameTemplate.h"
#include "document/NamingFile.h"
#include "sdk/FileKind.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <tuple>
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

// The number of a file the capture name made ("Photo-0003.jpg": the name, a dash, digits).
std::optional<std::uint32_t> capturedNumber(const std::string& fileName, const std::string& name,
                                            const std::string& ext) {
    if (name.empty() || !CaptureNaming::Matches(fileName, name, ext)) return std::nullopt;
    if (fileName.size() < name.size() + 2 || fileName[name.size()] != '-' ||
        fileName[name.size() + 1] < '0' || fileName[name.size() + 1] > '9')
        return std::nullopt;
    return CaptureNaming::ReadNumber(fileName, name.size());
}

bool pictureKind(const std::string& fileName, const std::string& ext) {
    if (sdk::FileKindOf(fileName) != sdk::FileKind::Other) return true;
    const std::string e = lower(ext);
    return e == "tif" || e == "tiff" || e == "heic" || e == "heif";
}

void sortNewestFirst(std::vector<PictureEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const PictureEntry& a, const PictureEntry& b) {
        return a.number != b.number ? a.number > b.number : a.fileName < b.fileName;
    });
}

}   // namespace

std::vector<PictureEntry> ListPictures(const std::string& folder, const std::string& name) {
    const NamingSettings naming = PublishedNaming();
    return ListPictures(folder, name, naming.nameTemplate, naming.job);
}

std::vector<PictureEntry> ListPictures(const std::string& folder, const std::string& name,
                                       const std::string& nameTemplate, const std::string& job) {
    namespace fs = std::filesystem;
    const NameTemplate rule(nameTemplate);
    const bool byName = rule.isDefault() || !rule.ok();
    const NameTemplate::Reader reader = rule.ReaderFor(name, job);
    std::vector<PictureEntry> out;
    if (byName && name.empty()) return out;
    // A picture: its files (one name but for the extension), the number in their names, when
    // the first of them was written.
    struct Picture {
        std::vector<std::size_t> files;   // into out
        std::uint32_t number = 0;
        long long written = 0;
    };
    std::map<std::string, Picture> pictures;   // by the name without its extension, lower case
    bool anyOwn = false;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string fileName = it->path().filename().string();
        const std::size_t dot = fileName.rfind('.');
        if (fileName.empty() || fileName[0] == '.' || dot == std::string::npos) continue;
        const std::string ext = fileName.substr(dot + 1);
        if (lower(ext) == "xmp") continue;
        std::optional<std::uint32_t> number;
        if (!byName && pictureKind(fileName, ext))
            number = reader.NumberIn(std::string_view(fileName).substr(0, dot));
        const bool own = !number;   // one of the capture name's own, if any
        if (!number) number = capturedNumber(fileName, name, ext);
        if (!number) continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        out.push_back({it->path().string(), fileName, *number});
        if (byName) continue;
        anyOwn = anyOwn || own;
        struct stat st {};
        const long long written =
            ::stat(out.back().path.c_str(), &st) == 0
                ? static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec
                : 0;
        Picture& picture = pictures[stemOf(fileName)];
        if (picture.files.empty() || written < picture.written) picture.written = written;
        picture.number = *number;
        picture.files.push_back(out.size() - 1);
    }
    if (!byName && (rule.hasVaryingTokens() || anyOwn)) {
        // Numbered by their place in time: the number in the name does not tell them apart.
        std::vector<std::pair<std::string, Picture*>> order;
        for (auto& [stem, picture] : pictures) order.emplace_back(stem, &picture);
        std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
            return std::tie(a.second->written, a.second->number, a.first) <
                   std::tie(b.second->written, b.second->number, b.first);
        });
        std::uint32_t place = 0;
        for (const auto& [stem, picture] : order) {
            ++place;
            for (const std::size_t file : picture->files) out[file].number = place;
        }
    }
    sortNewestFirst(out);
    return out;
}

std::vector<FoldedPicture> FoldPairs(const std::vector<PictureEntry>& entries) {
    constexpr std::size_t kAlone = static_cast<std::size_t>(-1);
    std::vector<FoldedPicture> out;
    out.reserve(entries.size());
    // The files of one number lie together in the listing: each run is folded on its own.
    for (std::size_t first = 0; first < entries.size();) {
        std::size_t past = first + 1;
        while (past < entries.size() && entries[past].number == entries[first].number) ++past;
        if (past - first == 1) {   // a number of one file: most of a folder
            out.push_back({entries[first], {}});
            first = past;
            continue;
        }
        // Which JPEG of the run each RAW file belongs to.
        std::vector<std::size_t> owner(past - first, kAlone);
        for (std::size_t j = first; j < past; ++j) {
            if (sdk::FileKindOf(entries[j].fileName) != sdk::FileKind::Jpeg) continue;
            const std::optional<long long> written = writtenAt(entries[j].path);
            if (!written) continue;
            const std::string stem = stemOf(entries[j].fileName);
            for (std::size_t r = first; r < past; ++r) {
                if (owner[r - first] != kAlone ||
                    sdk::FileKindOf(entries[r].fileName) != sdk::FileKind::Raw ||
                    stemOf(entries[r].fileName) != stem)
                    continue;
                const std::optional<long long> rawWritten = writtenAt(entries[r].path);
                if (rawWritten && std::llabs(*rawWritten - *written) <= kPairSeconds)
                    owner[r - first] = j;
            }
        }
        // In the listing's order, a pair at its JPEG's place, its RAW files in name order.
        for (std::size_t j = first; j < past; ++j) {
            if (owner[j - first] != kAlone) continue;
            FoldedPicture picture{entries[j], {}};
            for (std::size_t r = first; r < past; ++r)
                if (owner[r - first] == j) picture.others.push_back(entries[r].path);
            out.push_back(std::move(picture));
        }
        first = past;
    }
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
