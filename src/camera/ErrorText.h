// Turns a 32-bit SDK error code into its text: every matching table row, each ending in "\r\n";
// a code of the real-camera backend (sdk::err::OwnRow) gives its own row alone.
#pragma once

#include <cstdint>
#include <string>

namespace camera {

std::string GetErrorText(std::uint32_t code);

}   // namespace camera
