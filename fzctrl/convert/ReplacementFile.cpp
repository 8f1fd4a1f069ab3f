#include "fzctrl/convert/ReplacementFile.h"

#include "platform/fs/DriveC.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fz {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name that no other writer picks: process, a per-process counter and random letters; the
// file is created exclusively, and a name taken meanwhile is retried with new letters.
int CreateUnique(const std::string& stem, mode_t mode, std::string& path) {
    static unsigned counter = 0;
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const unsigned serial = __atomic_add_fetch(&counter, 1u, __ATOMIC_RELAXED);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem + std::to_string(getpid()) + "_" + std::to_string(serial) + "_";
        for (int i = 0; i < 6; ++i)
            name += kLetters[arc4random_uniform(sizeof kLetters - 1)];
        const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            path = std::move(name);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

} // namespace

bool WriteAll(std::FILE* stream, const void* data, std::size_t size) {
    return size == 0 || std::fwrite(data, 1, size, stream) == size;
}

ReplacementFile::~ReplacementFile() {
    Abandon();
}

bool ReplacementFile::Create(const std::string& targetHostPath) {
    Abandon();
    if (targetHostPath.empty() || targetHostPath.back() == '/')
        return false;
    const std::string stem = FolderOf(targetHostPath) + "." + FileNameOf(targetHostPath) + ".part_";
    std::string path;
    const int fd = CreateUnique(stem, 0666, path);
    if (fd < 0)
        return false;
    m_stream = fdopen(fd, "wb");
    if (m_stream == nullptr) {
        close(fd);
        unlink(path.c_str());
        return false;
    }
    m_temporaryPath = std::move(path);
    m_targetPath = targetHostPath;
    return true;
}

bool ReplacementFile::Commit() {
    if (m_stream == nullptr)
        return false;
    bool ok = std::fflush(m_stream) == 0 && std::ferror(m_stream) == 0;
    ok = fsync(fileno(m_stream)) == 0 && ok;
    ok = std::fclose(m_stream) == 0 && ok;
    m_stream = nullptr;
    ok = ok && std::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) == 0;
    if (!ok)
        unlink(m_temporaryPath.c_str());
    m_temporaryPath.clear();
    return ok;
}

void ReplacementFile::Abandon() {
    if (m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_temporaryPath.empty()) {
        unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
    }
}

DriveCScratchFile::~DriveCScratchFile() {
    if (!m_path.empty())
        unlink(m_path.c_str());
}

bool DriveCScratchFile::Create(const char* prefix) {
    if (!m_path.empty()) {
        unlink(m_path.c_str());
        m_path.clear();
    }
    const auto folder = fs::DriveCFolder();
    if (!folder)
        return false;
    std::string path;
    const int fd = CreateUnique(*folder + prefix, 0600, path);
    if (fd < 0)
        return false;
    close(fd);
    m_path = std::move(path);
    return true;
}

} // namespace fz
