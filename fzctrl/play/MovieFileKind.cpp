#include "fzctrl/play/MovieFileKind.h"

#include <cctype>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace fz {
namespace {

bool MagicMatches(const std::string& hostPath, const char* upperMagic) {
    const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char magic[4] = {};
    const ssize_t n = pread(fd, magic, sizeof magic, 0);
    close(fd);
    if (n != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (std::toupper(magic[i]) != upperMagic[i])
            return false;
    }
    return true;
}

} // namespace

bool IsKqffFile(const std::string& hostPath) {
    return MagicMatches(hostPath, "KQFF");
}

bool IsYhavFile(const std::string& hostPath) {
    return MagicMatches(hostPath, "YHAV");
}

} // namespace fz
