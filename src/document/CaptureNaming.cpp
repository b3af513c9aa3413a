// Capture file naming: scanning the capture folder for the highest number in use.
#include "document/CaptureNaming.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <limits>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Splits folder + name at its last '/': the directory to list (with its '/') and the prefix
// file names must start with. Without any '/', the working directory is listed.
void SplitPattern(const std::string& folder, const std::string& name, std::string& directory,
                  std::string& filePrefix) {
    const std::string prefix = folder + name;
    const std::size_t slash = prefix.rfind('/');
    if (slash == std::string::npos) {
        directory.clear();
        filePrefix = prefix;
    } else {
        directory = prefix.substr(0, slash + 1);
        filePrefix = prefix.substr(slash + 1);
    }
}

// The longest file name the folder's file system takes (255 where it does not say).
std::size_t NameMax(const std::string& directory) {
    const long max = ::pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : 255;
}

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// A decimal integer with atoi rules (leading blanks, optional sign, digits; no digits reads as
// 0); empty when it is negative or does not fit in 32 bits.
std::optional<std::uint32_t> ReadDecimal(std::string_view rest) {
    std::size_t i = 0;
    while (i < rest.size() && IsBlank(rest[i])) ++i;
    bool negative = false;
    if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) {
        negative = rest[i] == '-';
        ++i;
    }
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(rest[i] - '0');
        if (value > kMax) return std::nullopt;   // does not fit: ignored rather than wrapped
    }
    if (negative && value != 0) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// The number of fileName when it is one pattern makes: filePrefix is what the name must start
// with (the pattern's prefix, or the part of folder + prefix after the last '/'), offset where
// the number is read.
std::optional<std::uint32_t> PatternNumber(std::string_view fileName, std::string_view filePrefix,
                                           std::size_t offset, const NamePattern& pattern,
                                           std::string_view ext) {
    const bool any = pattern.anySeparator && !filePrefix.empty();
    const std::string_view compared =
        any ? filePrefix.substr(0, filePrefix.size() - 1) : filePrefix;
    if (pattern.suffix.empty()) {
        if (!CaptureNaming::Matches(fileName, compared, ext)) return std::nullopt;
        return ReadDecimal(fileName.substr(std::min(offset, fileName.size())));
    }
    const std::size_t tail = pattern.suffix.size() + 1 + ext.size();
    if (fileName.size() < compared.size() + (any ? 1 : 0) + tail) return std::nullopt;
    if (!EqualNoCase(fileName.substr(0, compared.size()), compared)) return std::nullopt;
    const std::string_view end = fileName.substr(fileName.size() - tail);
    if (!EqualNoCase(end.substr(0, pattern.suffix.size()), pattern.suffix) ||
        end[pattern.suffix.size()] != '.' ||
        !EqualNoCase(end.substr(pattern.suffix.size() + 1), ext))
        return std::nullopt;
    const std::size_t stop = fileName.size() - tail;
    const std::size_t start = std::min(offset, stop);
    return ReadDecimal(fileName.substr(start, stop - start));
}

}   // namespace

bool CaptureNaming::IsSafeName(std::string_view name) {
    return name.find('/') == std::string_view::npos && name != "." && name != "..";
}

bool CaptureNaming::HasControl(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

bool CaptureNaming::Matches(std::string_view fileName, std::string_view name,
                            std::string_view ext) {
    if (fileName.size() < name.size() + 1 + ext.size()) return false;
    if (!EqualNoCase(fileName.substr(0, name.size()), name)) return false;
    const std::string_view tail = fileName.substr(fileName.size() - ext.size() - 1);
    return tail[0] == '.' && EqualNoCase(tail.substr(1), ext);
}

std::optional<std::uint32_t> CaptureNaming::ReadNumber(std::string_view fileName,
                                                       std::size_t nameLength) {
    return ReadDecimal(fileName.substr(std::min(nameLength + 1, fileName.size())));
}

std::string CaptureNaming::Format(const std::string& folder, const std::string& name,
                                  std::uint32_t number, const std::string& ext) {
    return Format(folder, DefaultPattern(name), number, ext);
}

std::string CaptureNaming::Format(const std::string& folder, const NamePattern& pattern,
                                  std::uint32_t number, const std::string& ext) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*u", std::clamp(pattern.width, 1, 10),
                  static_cast<unsigned>(number));
    std::string path;
    path.reserve(folder.size() + pattern.prefix.size() + pattern.suffix.size() + ext.size() + 16);
    path += folder;
    path += pattern.prefix;
    path += digits;
    path += pattern.suffix;
    path += '.';
    path += ext;
    return path;
}

std::optional<std::uint32_t> CaptureNaming::NumberOf(std::string_view fileName,
                                                     const NamePattern& pattern,
                                                     std::string_view ext) {
    return PatternNumber(fileName, pattern.prefix, pattern.prefix.size(), pattern, ext);
}

NamePattern CaptureNaming::DefaultPattern(const std::string& name) {
    NamePattern pattern;
    pattern.prefix = name + "-";
    pattern.parts = {{"{name}", name.size()}, {"the template's own text", 1}};
    return pattern;
}

bool CaptureNaming::Counts(const std::string& path, std::string_view fileName) {
    if (fileName.empty() || fileName[0] == '.') return false;   // hidden
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Read-only is judged by the permission bits that apply to this user, so that a file
    // without write permission is passed over even for the superuser.
    mode_t bit = S_IWOTH;
    if (st.st_uid == ::geteuid()) bit = S_IWUSR;
    else if (st.st_gid == ::getegid()) bit = S_IWGRP;
    if ((st.st_mode & bit) == 0) return false;
    return ::access(path.c_str(), W_OK) == 0;
}

CapturePath CaptureNaming::NextLocked(const std::string& folder, const NamePattern& pattern,
                                      const std::string& ext) const {
    CapturePath result;
    if (folder.empty()) return result;
    if (HasControl(folder)) {
        result.status = CaptureNameStatus::ControlFolder;
        return result;
    }
    if (HasControl(pattern.prefix) || HasControl(pattern.suffix)) {
        result.status = CaptureNameStatus::ControlName;
        return result;
    }
    if (pattern.prefix.find('/') != std::string::npos ||
        pattern.suffix.find('/') != std::string::npos || ext.find('/') != std::string::npos) {
        result.status = CaptureNameStatus::BadName;
        return result;
    }
    std::string directory, filePrefix;
    SplitPattern(folder, pattern.prefix, directory, filePrefix);

    std::uint64_t candidate = 0;
    auto consider = [&](std::string_view fileName, auto&& counts) {
        const std::optional<std::uint32_t> number =
            PatternNumber(fileName, filePrefix, pattern.prefix.size(), pattern, ext);
        // A number below the candidate cannot raise it: skip the file checks.
        if (!number || *number < candidate) return;
        if (!counts()) return;
        candidate = std::uint64_t{*number} + 1;
    };

    std::error_code ec;
    const std::filesystem::path listed = directory.empty() ? "." : directory;
    for (std::filesystem::directory_iterator it(listed, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string fileName = it->path().filename().string();
        consider(fileName, [&] { return Counts(directory + fileName, fileName); });
    }
    for (const std::set<std::string>* paths : {&reserved_, &held_})
        for (const std::string& reserved : *paths) {
            if (reserved.size() <= directory.size() ||
                reserved.compare(0, directory.size(), directory) != 0)
                continue;
            const std::string_view fileName = std::string_view(reserved).substr(directory.size());
            if (fileName.find('/') != std::string_view::npos) continue;
            consider(fileName, [] { return true; });
        }

    const std::size_t nameMax = NameMax(directory);
    for (; candidate <= std::numeric_limits<std::uint32_t>::max(); ++candidate) {
        std::string path = Format(folder, pattern, static_cast<std::uint32_t>(candidate), ext);
        // Refused before the release: the camera would fail to write it, with a vaguer error.
        if (path.size() - directory.size() > nameMax) {
            result.status = CaptureNameStatus::TooLong;
            result.nameMax = nameMax;
            result.longestPart = pattern.LongestPart();
            return result;
        }
        if (!EntryExists(path) && reserved_.count(path) == 0 && held_.count(path) == 0) {
            result.status = CaptureNameStatus::Ok;
            result.path = std::move(path);
            return result;
        }
    }
    result.status = CaptureNameStatus::Exhausted;
    return result;
}

void CaptureNaming::ForgetArrivedLocked() {
    // A reserved path whose file now exists is found by the scan and the existence check.
    for (auto it = reserved_.begin(); it != reserved_.end();)
        it = EntryExists(*it) ? reserved_.erase(it) : std::next(it);
}

namespace {

// The checks of the capture name alone, made before its pattern is formed.
CaptureNameStatus CheckName(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty()) return CaptureNameStatus::Empty;
    if (CaptureNaming::HasControl(folder)) return CaptureNameStatus::ControlFolder;
    if (CaptureNaming::HasControl(name)) return CaptureNameStatus::ControlName;
    if (!CaptureNaming::IsSafeName(name)) return CaptureNameStatus::BadName;
    return CaptureNameStatus::Ok;
}

}   // namespace

CapturePath CaptureNaming::Next(const std::string& folder, const std::string& name,
                                const std::string& ext) {
    if (const CaptureNameStatus status = CheckName(folder, name); status != CaptureNameStatus::Ok) {
        CapturePath refused;
        refused.status = status;
        return refused;
    }
    return Next(folder, DefaultPattern(name), ext);
}

CapturePath CaptureNaming::Claim(const std::string& folder, const std::string& name,
                                 const std::string& ext) {
    if (const CaptureNameStatus status = CheckName(folder, name); status != CaptureNameStatus::Ok) {
        CapturePath refused;
        refused.status = status;
        return refused;
    }
    return Claim(folder, DefaultPattern(name), ext);
}

CapturePath CaptureNaming::Next(const std::string& folder, const NamePattern& pattern,
                                const std::string& ext) {
    std::lock_guard lock(lock_);
    ForgetArrivedLocked();
    return NextLocked(folder, pattern, ext);
}

CapturePath CaptureNaming::Claim(const std::string& folder, const NamePattern& pattern,
                                 const std::string& ext) {
    std::lock_guard lock(lock_);
    ForgetArrivedLocked();
    CapturePath result = NextLocked(folder, pattern, ext);
    if (result.status == CaptureNameStatus::Ok) reserved_.insert(result.path);
    return result;
}

void CaptureNaming::Release(const std::string& path) {
    std::lock_guard lock(lock_);
    reserved_.erase(path);
}

void CaptureNaming::Hold(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    held_.insert(path);
}

void CaptureNaming::Unhold(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    held_.erase(path);
}

bool CaptureNaming::IsReserved(const std::string& path) const {
    std::lock_guard lock(lock_);
    return reserved_.count(path) != 0;
}

std::size_t CaptureNaming::reservedCount() const {
    std::lock_guard lock(lock_);
    return reserved_.size();
}
