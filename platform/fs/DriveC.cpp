#include "platform/fs/DriveC.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fz::fs {
namespace {

enum class FolderCheck { Accepted, Refused };

// A folder is accepted only when it is a real folder (not a link to one) owned by this user.
FolderCheck CheckPrivateFolder(const std::string& path, bool tightenMode) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT)
            return FolderCheck::Refused;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return FolderCheck::Refused;
        if (lstat(path.c_str(), &info) != 0)
            return FolderCheck::Refused;
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return FolderCheck::Refused;
    if (tightenMode && (info.st_mode & 0077) != 0 && chmod(path.c_str(), 0700) != 0)
        return FolderCheck::Refused;
    return FolderCheck::Accepted;
}

} // namespace

std::optional<std::string> DriveCFolder() {
    std::string folder;
    bool isDefault = false;
    if (const char* chosen = std::getenv("FRAMZEL_DRIVE_C"); chosen && *chosen) {
        folder = chosen;
    } else {
        const char* tmp = std::getenv("TMPDIR");
        folder = (tmp && *tmp) ? tmp : "/tmp";
        if (folder.back() != '/')
            folder += '/';
        folder += "framzel-" + std::to_string(geteuid());
        isDefault = true;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (CheckPrivateFolder(folder, isDefault) != FolderCheck::Accepted)
        return std::nullopt;
    return folder + '/';
}

bool IsDriveCPath(std::string_view enginePath) {
    return enginePath.size() >= 3 && (enginePath[0] == 'C' || enginePath[0] == 'c') &&
           enginePath[1] == ':' && (enginePath[2] == '\\' || enginePath[2] == '/');
}

std::string HostPath(std::string_view enginePath) {
    std::string rest;
    std::string prefix;
    if (IsDriveCPath(enginePath)) {
        auto drive = DriveCFolder();
        if (!drive)
            return {};
        prefix = *drive;
        rest = enginePath.substr(3);
    } else {
        rest = enginePath;
    }
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    return prefix + rest;
}

} // namespace fz::fs
