#pragma once

#include <cstdint>

namespace fz {

// A truth value as the control's methods take and give it: a 32-bit integer holding kTrue or
// kFalse. Any non-zero input counts as true. The dispatch layer turns the out-parameters into
// VARIANT_BOOL (-1 / 0) and the VARIANT_BOOL arguments into this type.
using Bool = std::int32_t;

inline constexpr Bool kTrue = 1;
inline constexpr Bool kFalse = 0;

constexpr Bool ToBool(bool value) {
    return value ? kTrue : kFalse;
}

} // namespace fz
