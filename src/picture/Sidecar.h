// Ratings kept where photo editors read them: xmp:Rating (1..5 stars, -1 a reject) in the
// XMP sidecar beside a picture ("Photo-0003.jpg.xmp", or digiKam's "Photo-0003.xmp" when only
// that one is there: picture::SidecarFor). The sidecar is read as an XMP packet
// (never as whatever libexiv2 guesses from its bytes), changed with libexiv2 so everything else
// another program wrote in it is kept, and replaced whole through sdk::ReplaceSettingsFile under
// a sdk::FolderLock: never written in place, through another user's link, or when it does not
// parse. Any thread; two writers of one sidecar (threads or processes) take turns.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace picture {

constexpr int kReject = -1;

// A sidecar larger than this is not read (darktable's, with a long edit history, is some 100 kB).
constexpr std::size_t kMaxSidecarBytes = std::size_t{4} << 20;

// The rating in the sidecar of picturePath; none when there is no sidecar, it holds no
// rating or cannot be read (then error says why).
std::optional<int> ReadRating(const std::string& picturePath, std::string& error);
std::optional<int> ReadRating(const std::string& picturePath);

// The rating a picture shows: ReadRating's, but none when the sidecar was last written more than
// kStaleSidecarSeconds before the picture (one a removed picture left behind, whose number a
// new picture took: it never lends its rating to the new file).
constexpr int kStaleSidecarSeconds = 2;
std::optional<int> PictureRating(const std::string& picturePath);

// Sets xmp:Rating to rating (or removes it, for none) in the sidecar of every picture given,
// creating the sidecars that do not exist and removing those left with nothing. Empty when
// done; otherwise why not, and no sidecar is changed (those written before the failure get their
// old contents back). A sidecar that is not a regular file, is a link another user made, is
// larger than kMaxSidecarBytes, or does not parse as XMP is refused and left as it was.
std::string WriteRating(const std::vector<std::string>& pictures, std::optional<int> rating);

// The client's mark, set from the client view: xmp:Label "Client Pick" (a label darktable,
// digiKam and Lightroom show). The rating is never touched; clearing removes the label only when
// it is the client's (a label the photographer gave stays).
constexpr const char* kClientPickLabel = "Client Pick";
bool ReadClientPick(const std::string& picturePath);

// Both marks, from one read of the sidecar (ReadRating's rules; error says why none).
struct SidecarMarks {
    std::optional<int> rating;
    bool clientPick = false;
    bool operator==(const SidecarMarks&) const = default;
};
SidecarMarks ReadMarks(const std::string& picturePath, std::string& error);
// ReadMarks, but none of them from a sidecar left by an earlier picture (PictureRating's rule).
SidecarMarks PictureMarks(const std::string& picturePath);
// Empty when done; otherwise why not (the rules of WriteRating hold).
std::string WriteClientPick(const std::string& picturePath, bool picked);

// Keywords: dc:subject, the bag every editor shows and filters on. WriteSeriesKeyword adds
// keyword to it (once: a keyword already there is not repeated), keeping everything else; empty
// when done, otherwise why not (the rules of WriteRating hold). Any thread but the window's.
std::string WriteSeriesKeyword(const std::string& picturePath, const std::string& keyword);
// The keywords in the sidecar of picturePath, in their order; none when there is no sidecar or
// it cannot be read (then error says why).
std::vector<std::string> ReadKeywords(const std::string& picturePath, std::string& error);
std::vector<std::string> ReadKeywords(const std::string& picturePath);

}   // namespace picture
