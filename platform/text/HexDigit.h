#pragma once

namespace fz {

// The value of one hexadecimal digit (either case), or -1 when `c` is not one.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static_assert(HexDigitValue('7') == 7 && HexDigitValue('b') == 11 && HexDigitValue('F') == 15 &&
              HexDigitValue('g') == -1);

} // namespace fz
