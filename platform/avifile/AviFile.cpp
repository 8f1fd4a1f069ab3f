#include "platform/avifile/AviFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fz::avifile {
namespace {

constexpr std::uint32_t kRiff = FourCc('R', 'I', 'F', 'F');
constexpr std::uint32_t kAviForm = FourCc('A', 'V', 'I', ' ');
constexpr std::uint32_t kList = FourCc('L', 'I', 'S', 'T');
constexpr std::uint32_t kHeaderList = FourCc('h', 'd', 'r', 'l');

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads exactly `size` bytes at `offset`; false on a short read or an error.
bool ReadAt(int fd, std::uint64_t offset, void* out, std::size_t size) {
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

AviError ReadHeaders(int fd, std::uint64_t fileSize, AviHeaders& headers) {
    std::uint8_t riff[12];
    if (fileSize < sizeof riff || !ReadAt(fd, 0, riff, sizeof riff))
        return AviError::NotAvi;
    if (Le32(riff) != kRiff || Le32(riff + 8) != kAviForm)
        return AviError::NotAvi;
    // The form ends at its stated size or at the end of the file, whichever comes first.
    const std::uint64_t formEnd = std::min<std::uint64_t>(fileSize, 8ull + Le32(riff + 4));

    std::uint64_t pos = 12;
    while (formEnd >= 12 && pos <= formEnd - 12) {
        std::uint8_t chunk[12];
        if (!ReadAt(fd, pos, chunk, sizeof chunk))
            return AviError::NoHeaderList;
        const std::uint32_t size = Le32(chunk + 4);
        if (Le32(chunk) == kList && Le32(chunk + 8) == kHeaderList) {
            if (size < 4 || pos + 8 + size > fileSize || size - 4 > AviFile::kMaxHeaderListBytes)
                return AviError::NoHeaderList;
            std::vector<std::uint8_t> body(size - 4);
            if (!body.empty() && !ReadAt(fd, pos + 12, body.data(), body.size()))
                return AviError::NoHeaderList;
            return ParseAviHeaderList(body.data(), body.size(), headers);
        }
        pos += 8ull + size + (size & 1);
    }
    return AviError::NoHeaderList;
}

} // namespace

AviError AviFile::Open(const std::string& hostPath) {
    m_headers = AviHeaders{};
    FileDescriptor fd(open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return AviError::CannotOpen;
    AviHeaders headers;
    const AviError error = ReadHeaders(fd.Get(), static_cast<std::uint64_t>(st.st_size), headers);
    if (error == AviError::None)
        m_headers = std::move(headers);
    return error;
}

const AviStreamInfo* AviFile::GetStream(std::uint32_t type, int index) const {
    for (const AviStreamInfo& stream : m_headers.streams) {
        if (stream.type == type && index-- == 0)
            return &stream;
    }
    return nullptr;
}

std::size_t AviFile::ReadFormat(const AviStreamInfo& stream, void* out, std::size_t capacity) {
    const std::size_t n = std::min(capacity, stream.format.size());
    if (n > 0)
        std::memcpy(out, stream.format.data(), n);
    return n;
}

} // namespace fz::avifile
