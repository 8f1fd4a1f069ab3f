#pragma once

#include <cstdint>

namespace fz {

// Little-endian integers in byte buffers, as every file format of the system stores them (WAVE
// and AVI chunks, frame records, movie files). The caller checks that the bytes lie inside its
// buffer; these only read and write them, without alignment needs.

constexpr std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr void WriteLe16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void WriteLe32(std::uint8_t* p, std::uint32_t value) {
    WriteLe16(p, static_cast<std::uint16_t>(value));
    WriteLe16(p + 2, static_cast<std::uint16_t>(value >> 16));
}

static_assert([] {
    std::uint8_t bytes[4] = {};
    WriteLe32(bytes, 0x12345678u);
    return bytes[0] == 0x78 && bytes[3] == 0x12 && ReadLe32(bytes) == 0x12345678u &&
           ReadLe16(bytes + 2) == 0x1234;
}());

} // namespace fz
