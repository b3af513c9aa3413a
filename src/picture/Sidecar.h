// Ratings kept where photo editors read them: xmp:Rating (1..5 stars, -1 a reject) in the
// XMP sidecar beside a picture ("Photo-0003.jpg.xmp"), written with libexiv2 so a sidecar
// another program wrote keeps everything else it holds. Any thread; nothing shared.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace picture {

constexpr int kReject = -1;

// The rating in the sidecar of picturePath; none when there is no sidecar, it holds no
// rating or cannot be read.
std::optional<int> ReadRating(const std::string& picturePath);

// Sets xmp:Rating to rating (or removes it, for none) in the sidecar of every picture given,
// creating the sidecars that do not exist. Empty when done; otherwise why not, and no sidecar
// is changed (those written before the failure get their old contents back).
std::string WriteRating(const std::vector<std::string>& pictures, std::optional<int> rating);

}   // namespace picture
