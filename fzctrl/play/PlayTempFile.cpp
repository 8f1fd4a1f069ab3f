#include "fzctrl/play/PlayTempFile.h"

#include "platform/fs/DriveC.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace fz {
namespace {

std::atomic<std::uint64_t> g_nextNumber{0};

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::optional<PlayTempFile> PlayTempFile::Create(const char* stem, const std::uint8_t* bytes,
                                                 std::size_t size) {
    const std::optional<std::string> folder = fs::DriveCFolder();
    if (!folder)
        return std::nullopt;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string path = *folder + "_" + std::to_string(getpid()) + "_" +
                                 std::to_string(g_nextNumber.fetch_add(1)) + "_" + stem;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        const bool written = WriteAll(fd, bytes, size);
        const bool closed = close(fd) == 0;
        if (!written || !closed) {
            unlink(path.c_str());
            return std::nullopt;
        }
        return PlayTempFile(path);
    }
    return std::nullopt;
}

PlayTempFile::~PlayTempFile() {
    if (!m_path.empty())
        unlink(m_path.c_str());
}

PlayTempFile::PlayTempFile(PlayTempFile&& other) noexcept
    : m_path(std::move(other.m_path)) {
    other.m_path.clear();
}

} // namespace fz
