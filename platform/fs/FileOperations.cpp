#include "platform/fs/FileOperations.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fz::fs {

bool DeleteFile(const std::string& hostPath) {
    struct stat info {};
    if (hostPath.empty() || lstat(hostPath.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    return unlink(hostPath.c_str()) == 0;
}

std::string GetCurrentDirectory() {
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

bool SetCurrentDirectory(const std::string& hostPath) {
    return !hostPath.empty() && chdir(hostPath.c_str()) == 0;
}

} // namespace fz::fs
