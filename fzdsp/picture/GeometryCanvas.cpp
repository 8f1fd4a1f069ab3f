#include "fzdsp/picture/GeometryCanvas.h"

#include "fzdsp/picture/PictureLimits.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <optional>

namespace fz {

std::uint8_t* GeometryCanvas::Prepare(int width, int rows, Use use) {
    const bool sameLetterbox =
        use == Use::kLetterbox && m_use == Use::kLetterbox && width == m_width && rows == m_rows;
    const std::optional<std::size_t> bytes = PictureBytes(width, rows, 3);
    bool allocated = bytes.has_value();
    if (allocated) {
        try {
            m_bytes.resize(*bytes);
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (!allocated) {
        m_width = m_rows = 0;
        return nullptr;
    }
    if (use == Use::kLetterbox && !sameLetterbox)
        std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t{0});
    m_width = width;
    m_rows = rows;
    m_use = use;
    return m_bytes.data();
}

} // namespace fz
