// The pictures of a capture name in a folder: the files numbered as captures are named
// ("Photo-0003.jpg", any extension but a sidecar's, or by the name template), newest first, and a picture's pair (the
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
// Files are named by the naming the document published (PublishedNaming): with the default
// template as below, with another one as ListPictures with a template says.
std::vector<PictureEntry> ListPictures(const std::string& folder, const std::string& name);

// The same for a name template and job text. The default template (or one that cannot be used)
// lists the capture name's numbered files, any extension but a sidecar's. Another lists the
// picture files (JPEG, raw, TIFF, HEIF by their extension) that it could have made with this
// capture name and job text (NameTemplate::NumberIn), and the capture name's own numbered
// files beside them (the pictures of the folder from before the template). The files of one
// name but for the extension are one picture. Their number:
// - the one in the name, when the template has no token but {name}, {job} and {number} and
//   no files of the capture name's own were found: the number then tells pictures apart;
// - else their place in time, 1 for the oldest (by when each picture's first file was
//   written; the same time by the number in the name, then the name), as a template with the
//   date, the camera or the like numbers each day or camera from 0 again.
std::vector<PictureEntry> ListPictures(const std::string& folder, const std::string& name,
                                       const std::string& nameTemplate, const std::string& job);

// Files of one number count as one release's when they were last written within this many
// seconds of each other: a camera hands over a RAW+JPEG pair one right after the other, while
// RAW and JPEG captures are numbered apart, so a later RAW-only picture can take the number of
// an earlier JPEG. The times are on disk, so the rule holds after a restart.
constexpr long kPairSeconds = 30;

// path and the other regular files of its folder whose name differs from it only by the
// extension (compared without regard to ASCII case) and that were written within kPairSeconds
// of it, path first.
std::vector<std::string> PairOf(const std::string& path);

// A picture as the Review strip shows it: a RAW+JPEG pair is one, led by its JPEG (sharper and
// cheaper to show than the RAW's preview).
struct FoldedPicture {
    PictureEntry lead;                 // the pair's JPEG, else the file itself
    std::vector<std::string> others;   // the pair's RAW files (paths), none for a file alone
    bool operator==(const FoldedPicture&) const = default;
};

// entries (in ListPictures' order) with each JPEG and the RAW files that PairOf pairs with it
// (the same name but for the extension, written within kPairSeconds of the JPEG) folded into
// one, at the JPEG's place; every other file stays a picture of its own. Each file of a number
// with both kinds is stated once; any thread.
std::vector<FoldedPicture> FoldPairs(const std::vector<PictureEntry>& entries);

// The sidecar darktable and digiKam read for path: the whole file name plus ".xmp".
inline std::string SidecarPath(const std::string& path) { return path + ".xmp"; }
// The sidecar digiKam writes when told to drop the extension: the name without it plus ".xmp"
// ("Photo-0003.xmp"); empty for a name without an extension.
std::string StemSidecarPath(const std::string& path);
// The sidecar in use for path: SidecarPath when it exists or StemSidecarPath does not, else
// StemSidecarPath (read and written there, so a rating another program keeps there is seen).
std::string SidecarFor(const std::string& path);

}   // namespace picture
