#include "tests/support/GeneratedMedia.h"

#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace fz::test {

mediagen::ClipOptions StandardClipOptions(mediagen::ClipKind kind) {
    mediagen::ClipOptions options;
    options.kind = kind;
    return options;
}

std::filesystem::path GeneratedClip(mediagen::ClipKind kind) {
    const mediagen::ClipKindInfo& info = mediagen::KindInfo(kind);
    return GeneratedClip(std::string(info.name) + "." + std::string(info.extension),
                         StandardClipOptions(kind));
}

std::filesystem::path GeneratedClip(const std::string& name, const mediagen::ClipOptions& options) {
    static std::mutex mutex;
    static std::map<std::string, std::filesystem::path> made;
    const std::lock_guard lock(mutex);
    if (auto found = made.find(name); found != made.end())
        return found->second;
    const std::filesystem::path folder = WorkDir() / "generated-media";
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / name;
    av_log_set_level(AV_LOG_ERROR);
    std::string error;
    if (!mediagen::WriteClip(path, options, &error)) {
        ADD_FAILURE() << "cannot generate " << path << ": " << error;
        return {};
    }
    made.emplace(name, path);
    return path;
}

} // namespace fz::test
