// Turns a 32-bit SDK error code into its text: every matching table row, each ending in "\r\n".
#pragma once

#include <cstdint>
#include <string>

namespace camera {

std::string GetErrorText(std::uint32_t code);

}   // namespace camera
