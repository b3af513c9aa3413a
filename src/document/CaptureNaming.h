// Capture file naming: the next numbered path in the capture folder, worked out from the files
// already there, plus the paths handed to cameras whose files have not arrived yet.
#pragma once

#include "document/NameTemplate.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// Why no path could be formed.
enum class CaptureNameStatus {
    Ok,
    Empty,           // no capture folder or no capture name
    BadName,         // the name contains '/' or is "." or ".."
    ControlName,     // the name contains a control character (a line break, a tab, ...)
    ControlFolder,   // the folder contains a control character
    Exhausted,       // the highest number present is the largest 32-bit number
    TooLong,         // the file name would be longer than the folder's file system allows
    Refused,         // the name template cannot be used or makes an unsafe name (see why)
};

struct CapturePath {
    CaptureNameStatus status = CaptureNameStatus::Empty;
    std::string path;          // empty unless status is Ok
    std::size_t nameMax = 0;   // TooLong: the longest file name the file system takes
    std::string longestPart;   // TooLong: the template's part with the most bytes ("{job}")
    std::string why;           // Refused: which token did it
};

class CaptureNaming {
public:
    // A name that keeps the capture inside its folder: no '/', not "." or "..".
    static bool IsSafeName(std::string_view name);
    // True when text holds a byte below 0x20 or 0x7F: such a name would not survive config.cfg.
    static bool HasControl(std::string_view text);
    // name*.ext, compared without regard to ASCII case; the name must be followed by at least
    // one character before ".ext" or be directly followed by ".ext".
    static bool Matches(std::string_view fileName, std::string_view name, std::string_view ext);
    // The number of a matching file: drop nameLength + 1 characters, read a decimal integer
    // with atoi rules (leading blanks, optional sign, digits; no digits reads as 0). Empty when
    // it is negative or does not fit in 32 bits.
    static std::optional<std::uint32_t> ReadNumber(std::string_view fileName,
                                                   std::size_t nameLength);
    // folder + name + "-" + number padded to four digits + "." + ext.
    static std::string Format(const std::string& folder, const std::string& name,
                              std::uint32_t number, const std::string& ext);
    // The same for a rendered name template: folder + prefix + number (at least width digits)
    // + suffix + "." + ext.
    static std::string Format(const std::string& folder, const NamePattern& pattern,
                              std::uint32_t number, const std::string& ext);
    // The number of a file the pattern makes with everything but the number equal, read with
    // the rules of ReadNumber after the prefix (the prefix's last character, when it is the
    // template's own text, may be any); empty when the file is not one of them.
    static std::optional<std::uint32_t> NumberOf(std::string_view fileName,
                                                 const NamePattern& pattern, std::string_view ext);
    // The pattern of the capture name alone: name + "-" + four digits.
    static NamePattern DefaultPattern(const std::string& name);
    // True for a regular file the user may write whose name does not start with a dot.
    static bool Counts(const std::string& path, std::string_view fileName);

    // The path for the next capture: one more than the highest number among the counted files
    // and the reserved paths, advanced past any path that exists or is reserved.
    CapturePath Next(const std::string& folder, const std::string& name, const std::string& ext);
    // Like Next, and reserves the path until Release, in one step, so that two captures started
    // at once never share a path.
    CapturePath Claim(const std::string& folder, const std::string& name, const std::string& ext);
    // The same for a rendered name template (the checks of Render are made again).
    CapturePath Next(const std::string& folder, const NamePattern& pattern, const std::string& ext);
    CapturePath Claim(const std::string& folder, const NamePattern& pattern,
                      const std::string& ext);
    void Release(const std::string& path);
    bool IsReserved(const std::string& path) const;
    // A path moved to the trash this session: its number counts as taken (the next capture
    // does not get it) until Unhold, when the file came back.
    void Hold(const std::string& path);
    void Unhold(const std::string& path);
    std::size_t reservedCount() const;

private:
    CapturePath NextLocked(const std::string& folder, const NamePattern& pattern,
                           const std::string& ext) const;
    void ForgetArrivedLocked();

    mutable std::mutex lock_;   // guards reserved_
    // Paths handed to a camera whose file has not appeared yet; forgotten once it exists.
    std::set<std::string> reserved_;
    std::set<std::string> held_;   // trashed this session
};
