#include "platform/fs/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fz::fs {

MappedFile::~MappedFile() {
    Close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr))
    , m_size(std::exchange(other.m_size, 0))
    , m_fd(std::exchange(other.m_fd, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool MappedFile::Open(const std::string& hostPath) {
    Close();
    if (hostPath.empty())
        return false;
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    // A folder opens for reading here, and a device or pipe has no fixed size: only regular
    // files are mapped.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        ::close(fd);
        return false;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    m_data = static_cast<const std::uint8_t*>(view);
    m_size = size;
    m_fd = fd;
    return true;
}

void MappedFile::Close() {
    if (m_data != nullptr)
        munmap(const_cast<std::uint8_t*>(m_data), m_size);
    if (m_fd >= 0)
        ::close(m_fd);
    m_data = nullptr;
    m_size = 0;
    m_fd = -1;
}

} // namespace fz::fs
