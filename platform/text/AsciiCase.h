#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace fz {

// ASCII case folding: 'A'..'Z' become 'a'..'z', every other byte stays. This is what "without
// regard to case" means for settings names, file-name patterns and class names; bytes above
// 0x7F (UTF-8 sequences) compare exactly.
constexpr char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        c = FoldAscii(c);
    return folded;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

static_assert(FoldAscii('Q') == 'q' && FoldAscii('[') == '[' && FoldAscii('\xC3') == '\xC3');
static_assert(EqualsIgnoringAsciiCase("Software\\FZ", "software\\fz") &&
              !EqualsIgnoringAsciiCase("a", "ab"));

} // namespace fz
