#include "platform/fs/FileAttributes.h"

#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace fz::fs {

std::uint32_t GetFileAttributes(const std::string& hostPath) {
    struct stat info {};
    if (hostPath.empty() || stat(hostPath.c_str(), &info) != 0)
        return kInvalidFileAttributes;

    std::uint32_t attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes = kFileAttributeDirectory;
    } else if (access(hostPath.c_str(), W_OK) != 0) {
        attributes = kFileAttributeReadOnly;
    }

    std::string_view name = hostPath;
    while (name.size() > 1 && name.back() == '/')
        name.remove_suffix(1);
    if (auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    if (name.size() > 1 && name.front() == '.' && name != "..")
        attributes |= kFileAttributeHidden;

    return attributes == 0 ? kFileAttributeNormal : attributes;
}

} // namespace fz::fs
