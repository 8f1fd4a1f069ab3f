#include "platform/media/source/SourceFactory.h"

#include <sys/stat.h>

// Built only while the tree has no file source: every file is refused cleanly.
namespace fz::media {

HRESULT CreateFileSourceFilter(const std::string& path, IBaseFilter** out) {
    if (!out)
        return com::E_POINTER;
    *out = nullptr;
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return VFW_E_NOT_FOUND;
    return VFW_E_UNSUPPORTED_STREAM;
}

} // namespace fz::media
