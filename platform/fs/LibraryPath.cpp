#include "platform/fs/LibraryPath.h"

#include <dlfcn.h>
#include <filesystem>

namespace fz::fs {

std::string LibraryPathOf(const void* address) {
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    std::error_code error;
    auto path = std::filesystem::absolute(info.dli_fname, error);
    if (error)
        return {};
    return path.lexically_normal().string();
}

} // namespace fz::fs
