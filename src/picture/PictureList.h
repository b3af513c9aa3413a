// The pictures of a capture name in a folder: the files numbered as captures are named
// ("Photo-0003.jpg", any extension but a sidecar's), newest first, and a picture's pair (the
// other files one release saved under the same number, a RAW beside its JPEG). Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picture {

struct PictureEntry {
    std::string path;
    std::string fileName;
    std::uint32_t number = 0;
    bool operator==(const PictureEntry&) const = default;
};

// The numbered pictures of name in folder (a folder path with or without its trailing '/'):
// highest number first, the same number by file name. Sidecars (".xmp"), hidden files and
// anything that is not a regular file are passed over; a folder that cannot be read lists none.
std::vector<PictureEntry> ListPictures(const std::string& folder, const std::string& name);

// Files of one number count as one release's when they were last written within this many
// seconds of each other: a camera hands over a RAW+JPEG pair one right after the other, while
// RAW and JPEG captures are numbered apart, so a later RAW-only picture can take the number of
// an earlier JPEG. The times are on disk, so the rule holds after a restart.
constexpr long kPairSeconds = 30;

// path and the other regular files of its folder whose name differs from it only by the
// extension (compared without regard to ASCII case) and that were written within kPairSeconds
// of it, path first.
std::vector<std::string> PairOf(const std::string& path);

// The sidecar darktable and digiKam read for path: the whole file name plus ".xmp".
inline std::string SidecarPath(const std::string& path) { return path + ".xmp"; }
// The sidecar digiKam writes when told to drop the extension: the name without it plus ".xmp"
// ("Photo-0003.xmp"); empty for a name without an extension.
std::string StemSidecarPath(const std::string& path);
// The sidecar in use for path: SidecarPath when it exists or StemSidecarPath does not, else
// StemSidecarPath (read and written there, so a rating another program keeps there is seen).
std::string SidecarFor(const std::string& path);

}   // namespace picture
