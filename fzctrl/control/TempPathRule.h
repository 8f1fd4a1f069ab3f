#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fz {

// What the control's SetTempPath hands to the engine for the text `value`, or nothing when the
// call is to be ignored. Leading white space is skipped for the checks only:
//   - nothing left: ignored;
//   - no space in what is left: `value` as given, leading white space included;
//   - a space: what is left up to and including its first '/' ("/data/My Movies/tmp" gives
//     "/"), or an empty text when it holds no '/'.
std::optional<std::string> TempPathForEngine(std::string_view value);

// True for the white space the path rules skip: ' ', '\t', '\n', '\v', '\f', '\r'.
constexpr bool IsPathWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace fz
