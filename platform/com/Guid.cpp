#include "platform/com/Guid.h"

#include <cstdio>
#include <cstring>
#include <functional>

namespace fz::com {

std::string FormatGuid(const Guid& guid) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.data1, guid.data2, guid.data3, guid.data4[0], guid.data4[1], guid.data4[2],
                  guid.data4[3], guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
    return text;
}

std::size_t GuidHash::operator()(const Guid& guid) const noexcept {
    std::uint64_t halves[2];
    static_assert(sizeof halves == sizeof guid);
    std::memcpy(halves, &guid, sizeof halves);
    return std::hash<std::uint64_t>()(halves[0] ^ (halves[1] * 0x9E3779B97F4A7C15ull));
}

} // namespace fz::com
