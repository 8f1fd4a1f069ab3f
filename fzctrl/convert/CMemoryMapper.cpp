#include "fzctrl/convert/CMemoryMapper.h"

#include <limits>

namespace fz {

CMemoryMapper::~CMemoryMapper() {
    Close();
}

bool CMemoryMapper::Open(const std::string& path) {
    if (!m_file.Open(path))
        return false;
    if (m_file.Size() > std::numeric_limits<std::uint32_t>::max()) {
        m_file.Close();
        return false;
    }
    return true;
}

void CMemoryMapper::Close() {
    m_file.Close();
}

} // namespace fz
