// The libgphoto2 session: the camera's own magnified live view (EOS "eoszoom" with the
// magnified area's place in "eoszoomposition").
#include "sdk/gphoto/SessionCam.h"

#include <cstdio>
#include <string>

namespace gphoto {

namespace {

// A whole number the camera wrote, or false for anything else ("", "5x", "-3", "1e9").
bool wholeNumber(const std::string& text, std::uint32_t& out) {
    unsigned long value = 0;
    int used = 0;
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    if (std::sscanf(text.c_str(), "%lu%n", &value, &used) != 1 || value > 1000000) return false;
    if (static_cast<std::size_t>(used) != text.size()) return false;
    out = static_cast<std::uint32_t>(value);
    return true;
}

}   // namespace

sdk::Result Session::Magnify(sdk::Handle h, std::uint32_t& factor, std::uint32_t& x,
                             std::uint32_t& y) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->magnify.empty()) return err::kNotSupported;
    std::string level, place;
    sdk::Result r =
        check(h, c->magnify.c_str(), [&] { return readWidget(*c, c->magnify, &level, nullptr); });
    if (r != sdk::kOk) return r;
    r = check(h, c->magnifyPosition.c_str(),
              [&] { return readWidget(*c, c->magnifyPosition, &place, nullptr); });
    if (r != sdk::kOk) return r;
    // A body's text that is not a factor and an "x,y" place is no answer.
    const std::size_t comma = place.find(',');
    std::uint32_t f = 0, px = 0, py = 0;
    if (!wholeNumber(level, f) || comma == std::string::npos ||
        !wholeNumber(place.substr(0, comma), px) || !wholeNumber(place.substr(comma + 1), py))
        return err::kDeviceInternal;
    factor = f;
    x = px;
    y = py;
    return sdk::kOk;
}

sdk::Result Session::SetMagnify(sdk::Handle h, std::uint32_t factor, std::uint32_t x,
                                std::uint32_t y) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->magnify.empty()) return err::kNotSupported;
    if (factor != 1 && factor != 5 && factor != 10) return err::kInvalidParameter;
    // The factor first: a body places the area only while it magnifies.
    const std::string level = std::to_string(factor);
    sdk::Result r =
        check(h, c->magnify.c_str(), [&] { return writeWidget(*c, c->magnify, &level, nullptr); });
    if (r != sdk::kOk || factor == 1) return r;
    const std::string place = std::to_string(x) + "," + std::to_string(y);
    return check(h, c->magnifyPosition.c_str(),
                 [&] { return writeWidget(*c, c->magnifyPosition, &place, nullptr); });
}

}   // namespace gphoto
