#include "platform/registry/HiveFile.h"

#include "platform/fs/LibraryPath.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fz::registry {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string UserFolder() {
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') { // the XDG rule: relative values are ignored
        std::string home = Environment("HOME");
        if (home.empty()) {
            if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_dir)
                home = entry->pw_dir;
        }
        if (home.empty())
            return {};
        config = WithoutTrailingSlashes(home) + "/.config";
    }
    return WithoutTrailingSlashes(config) + "/framzel";
}

// The machine hive's folder: the build tree keeps its own beside libfzplatform.so (this code's
// own library, found through the dynamic linker), so that a built tree runs uninstalled; an
// installed tree uses the system folder chosen when the build was configured.
std::string MachineFolder() {
    const std::filesystem::path library =
        fs::LibraryPathOf(reinterpret_cast<const void*>(&MachineFolder));
    std::error_code error;
    if (!library.empty() &&
        std::filesystem::equivalent(library.parent_path(), FRAMZEL_BUILD_LIBRARY_DIR, error))
        return WithoutTrailingSlashes(library.parent_path().string());
    return FRAMZEL_MACHINE_HIVE_DIR;
}

// mkdir -p with `mode` for the folders it makes.
bool MakeFolders(const std::string& folder, mode_t mode) {
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (errno != ENOENT)
        return false;
    const std::size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), mode))
        return false;
    return mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<FileIdentity> IdentityOf(const struct stat& info) {
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    FileIdentity identity;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedSeconds = info.st_mtim.tv_sec;
    identity.modifiedNanoseconds = info.st_mtim.tv_nsec;
    identity.changedSeconds = info.st_ctim.tv_sec;
    identity.changedNanoseconds = info.st_ctim.tv_nsec;
    return identity;
}

bool Later(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// Makes the new version's modification time later than the old one's (see FileIdentity).
bool StampLaterThan(int fd, const std::string& oldFile) {
    struct stat old {};
    struct stat fresh {};
    if (stat(oldFile.c_str(), &old) != 0 || fstat(fd, &fresh) != 0 ||
        Later(fresh.st_mtim, old.st_mtim))
        return true;
    timespec times[2] = {{0, UTIME_OMIT}, old.st_mtim};
    if (++times[1].tv_nsec == 1000000000) {
        times[1].tv_nsec = 0;
        ++times[1].tv_sec;
    }
    return futimens(fd, times) == 0;
}

} // namespace

HiveLocation LocateHive(Hive hive) {
    HiveLocation location;
    const bool user = hive == Hive::CurrentUser;
    location.name = user ? "user" : "machine";
    location.prefix = hive == Hive::ClassesRoot ? "Software\\Classes" : "";
    if (std::string chosen = Environment("FRAMZEL_REGISTRY_DIR"); !chosen.empty())
        location.folder = WithoutTrailingSlashes(chosen);
    else
        location.folder = user ? UserFolder() : MachineFolder();
    if (!location.folder.empty())
        location.file = location.folder + "/" + location.name + ".reg";
    return location;
}

std::optional<FileIdentity> HiveFileIdentity(const HiveLocation& location) {
    struct stat info {};
    if (location.file.empty() || stat(location.file.c_str(), &info) != 0)
        return std::nullopt;
    return IdentityOf(info);
}

HiveFileText ReadHiveText(const HiveLocation& location) {
    HiveFileText result;
    if (location.file.empty())
        return result;
    const int fd = open(location.file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return result;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return result;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        result.text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    result.identity = IdentityOf(info);
    return result;
}

HiveLock::~HiveLock() {
    if (m_fd >= 0)
        close(m_fd); // closing the only descriptor of the open file releases the flock
}

Status HiveLock::Acquire(const HiveLocation& location) {
    // The user's settings are private; the machine hive is read by everyone.
    const mode_t mode = location.name == "user" ? 0700 : 0755;
    if (location.folder.empty() || !MakeFolders(location.folder, mode))
        return kAccessDenied;
    // access() also reports a read-only file system to root, which mode bits do not stop.
    if (access(location.folder.c_str(), W_OK) != 0)
        return kAccessDenied;
    const std::string lockFile = location.file + ".lock";
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    if (fd < 0 && errno == EACCES)
        fd = open(lockFile.c_str(), O_RDONLY | kFlags);
    if (fd < 0)
        return kAccessDenied;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return kAccessDenied;
    }
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return kAccessDenied;
        }
    }
    m_fd = fd;
    return kSuccess;
}

Status WriteHiveAtomically(const HiveLocation& location, const std::string& text) {
    const std::string temporary = location.file + ".new";
    const mode_t mode = location.name == "user" ? 0600 : 0644; // the user's settings are private
    // The lock makes "<hive file>.new" ours; whatever stands there is left over from a crash.
    unlink(temporary.c_str());
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0)
        return kAccessDenied;
    const bool written = WriteAll(fd, text) && StampLaterThan(fd, location.file) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), location.file.c_str()) != 0) {
        unlink(temporary.c_str());
        return kAccessDenied;
    }
    return kSuccess;
}

} // namespace fz::registry
