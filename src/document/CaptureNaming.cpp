// Capture file naming: scanning the capture folder for the highest number in use.
#include "document/CaptureNaming.h"

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
    std::string_view rest = fileName.substr(std::min(nameLength + 1, fileName.size()));
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

std::string CaptureNaming::Format(const std::string& folder, const std::string& name,
                                  std::uint32_t number, const std::string& ext) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(number));
    std::string path;
    path.reserve(folder.size() + name.size() + ext.size() + 16);
    path += folder;
    path += name;
    path += '-';
    path += digits;
    path += '.';
    path += ext;
    return path;
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

CapturePath CaptureNaming::NextLocked(const std::string& folder, const std::string& name,
                                      const std::string& ext) const {
    CapturePath result;
    if (folder.empty() || name.empty()) return result;
    if (HasControl(folder)) {
        result.status = CaptureNameStatus::ControlFolder;
        return result;
    }
    if (HasControl(name)) {
        result.status = CaptureNameStatus::ControlName;
        return result;
    }
    if (!IsSafeName(name) || ext.find('/') != std::string::npos) {
        result.status = CaptureNameStatus::BadName;
        return result;
    }
    std::string directory, filePrefix;
    SplitPattern(folder, name, directory, filePrefix);

    std::uint64_t candidate = 0;
    auto consider = [&](std::string_view fileName, auto&& counts) {
        if (!Matches(fileName, filePrefix, ext)) return;
        const std::optional<std::uint32_t> number = ReadNumber(fileName, name.size());
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
        std::string path = Format(folder, name, static_cast<std::uint32_t>(candidate), ext);
        // Refused before the release: the camera would fail to write it, with a vaguer error.
        if (path.size() - directory.size() > nameMax) {
            result.status = CaptureNameStatus::TooLong;
            result.nameMax = nameMax;
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

CapturePath CaptureNaming::Next(const std::string& folder, const std::string& name,
                                const std::string& ext) {
    std::lock_guard lock(lock_);
    ForgetArrivedLocked();
    return NextLocked(folder, name, ext);
}

CapturePath CaptureNaming::Claim(const std::string& folder, const std::string& name,
                                 const std::string& ext) {
    std::lock_guard lock(lock_);
    ForgetArrivedLocked();
    CapturePath result = NextLocked(folder, name, ext);
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
