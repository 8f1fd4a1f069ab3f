#include "fzctrl/control/TempPathRule.h"

namespace fz {

std::optional<std::string> TempPathForEngine(std::string_view value) {
    std::string_view rest = value;
    while (!rest.empty() && IsPathWhiteSpace(rest.front()))
        rest.remove_prefix(1);
    if (rest.empty())
        return std::nullopt;
    if (rest.find(' ') == std::string_view::npos)
        return std::string(value);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return std::string();
    return std::string(rest.substr(0, slash + 1));
}

} // namespace fz
