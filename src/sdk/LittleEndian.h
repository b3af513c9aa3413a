// Little-endian numbers in byte buffers: the one way every layer reads and writes the SDK's
// records, property data and the viewfinder frame header. The pointer must hold 2 or 4 bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace sdk {

constexpr std::uint16_t ReadLe16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

constexpr std::uint32_t ReadLe32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

constexpr void WriteLe16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void WriteLe32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A number in a field of size bytes (property data, camera events): at most the first four bytes
// are meaningful. Reading takes the bytes there are (missing ones are 0); writing fills the
// field, zeros past the fourth byte.
constexpr std::uint32_t ReadLeField(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 4); ++i)
        value |= std::uint32_t{bytes[i]} << (8 * i);
    return value;
}

constexpr void WriteLeField(std::uint8_t* bytes, std::size_t size, std::uint32_t value) {
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = i < 4 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0;
}

}   // namespace sdk
