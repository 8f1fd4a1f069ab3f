#pragma once

#include "platform/text/HexDigit.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fz::com {

// A globally unique identifier: class identifiers, interface identifiers, format and media
// type identifiers. The layout is the platform's (16 bytes: a 32-bit, two 16-bit fields and
// eight bytes), so records that embed one keep their size. Identifier values are the
// platform's own and carry over unchanged.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};
static_assert(sizeof(Guid) == 16);

using GUID = Guid;
using IID = Guid;
using CLSID = Guid;

inline constexpr Guid GUID_NULL{};

namespace detail {

// Reads `digits` hex digits at text[at]; -1 when one is not a hex digit.
constexpr std::int64_t GuidHexField(std::string_view text, std::size_t at, std::size_t digits) {
    std::int64_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int digit = HexDigitValue(text[at + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace detail

// Parses the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": exactly 38 characters,
// braces and dashes in place, hex digits of either case. Anything else gives nothing.
constexpr std::optional<Guid> ParseGuid(std::string_view text) {
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-')
        return std::nullopt;
    const std::int64_t data1 = detail::GuidHexField(text, 1, 8);
    const std::int64_t data2 = detail::GuidHexField(text, 10, 4);
    const std::int64_t data3 = detail::GuidHexField(text, 15, 4);
    if (data1 < 0 || data2 < 0 || data3 < 0)
        return std::nullopt;
    Guid guid{static_cast<std::uint32_t>(data1),
              static_cast<std::uint16_t>(data2),
              static_cast<std::uint16_t>(data3),
              {}};
    constexpr std::size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (std::size_t i = 0; i < 8; ++i) {
        const std::int64_t byte = detail::GuidHexField(text, kByteAt[i], 2);
        if (byte < 0)
            return std::nullopt;
        guid.data4[i] = static_cast<std::uint8_t>(byte);
    }
    return guid;
}

// A GUID from a literal, checked when compiling:
//   inline constexpr CLSID CLSID_Example = MakeGuid("{8C6F3A10-5B1E-4C2D-9A7B-3E4F5A6B7C8D}");
consteval Guid MakeGuid(std::string_view text) {
    const std::optional<Guid> guid = ParseGuid(text);
    if (!guid)
        throw "not a GUID in registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    return *guid;
}

// The registry form with upper-case hex digits, as the platform writes it.
std::string FormatGuid(const Guid& guid);

struct GuidHash {
    std::size_t operator()(const Guid& guid) const noexcept;
};

} // namespace fz::com
