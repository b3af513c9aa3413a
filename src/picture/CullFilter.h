// The Review strip's filter: which pictures a rating lets through (all, rated 1+ ... 5, picks,
// rejects), its menu texts and the "12 shown of 40" count. A pick is a picture kept: any that is
// not rejected (rated or not). No Qt; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace picture {

enum class CullFilter { All, Rated1, Rated2, Rated3, Rated4, Rated5, Picks, Rejects };
constexpr int kCullFilterCount = 8;

// True when a picture of rating (none: unrated; kReject: rejected) is shown under filter.
bool Passes(CullFilter filter, std::optional<int> rating);

// The filter's text in the menu above the strip: "All", "Rated 1+" ... "Rated 5",
// "Picks only", "Rejects only".
std::string FilterText(CullFilter filter);

// "Hide Rejects", one key: Picks only goes back to All, any other filter becomes Picks only.
CullFilter ToggleHideRejects(CullFilter filter);

// "12 shown of 40".
std::string ShownCount(std::size_t shown, std::size_t total);

}   // namespace picture
