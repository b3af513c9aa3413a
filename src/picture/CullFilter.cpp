#include "picture/CullFilter.h"

#include "picture/Sidecar.h"

namespace picture {

bool Passes(CullFilter filter, std::optional<int> rating) {
    const bool rejected = rating && *rating == kReject;
    const int stars = rating && *rating > 0 ? *rating : 0;
    switch (filter) {
        case CullFilter::All: return true;
        case CullFilter::Picks: return !rejected;
        case CullFilter::Rejects: return rejected;
        case CullFilter::Rated5: return stars >= 5;
        default: return stars >= static_cast<int>(filter);   // Rated1 ... Rated4
    }
}

std::string FilterText(CullFilter filter) {
    switch (filter) {
        case CullFilter::All: return "All";
        case CullFilter::Picks: return "Picks only";
        case CullFilter::Rejects: return "Rejects only";
        case CullFilter::Rated5: return "Rated 5";
        default: return "Rated " + std::to_string(static_cast<int>(filter)) + "+";
    }
}

CullFilter ToggleHideRejects(CullFilter filter) {
    return filter == CullFilter::Picks ? CullFilter::All : CullFilter::Picks;
}

std::string ShownCount(std::size_t shown, std::size_t total) {
    return std::to_string(shown) + " shown of " + std::to_string(total);
}

}   // namespace picture
