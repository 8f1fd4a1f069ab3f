#include "fzctrl/convert/CountImages.h"

#include <cstring>

namespace fz {
namespace {

// The position of the first FF followed by `second` at or after `from`, or `length`.
std::size_t FindMarker(const std::uint8_t* memory, std::size_t length, std::size_t from,
                       std::uint8_t second) {
    while (from + 1 < length) {
        const void* found = std::memchr(memory + from, 0xFF, length - 1 - from);
        if (found == nullptr)
            return length;
        const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - memory);
        if (memory[at + 1] == second)
            return at;
        from = at + 1;
    }
    return length;
}

} // namespace

std::uint32_t CountImages(const std::uint8_t* memory, std::size_t length, std::uint32_t* largest) {
    std::uint32_t count = 0;
    std::size_t longest = 0;
    std::size_t position = 0;
    while (memory != nullptr) {
        const std::size_t start = FindMarker(memory, length, position, 0xD8);
        if (start >= length)
            break;
        const std::size_t end = FindMarker(memory, length, start + 2, 0xD9);
        if (end >= length)
            break;
        const std::size_t imageLength = end + 2 - start;
        ++count;
        if (imageLength + 2 > longest)
            longest = imageLength + 2;
        position = end + 2;
    }
    if (largest != nullptr)
        *largest = longest > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(longest);
    return count;
}

} // namespace fz
