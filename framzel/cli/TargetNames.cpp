#include "framzel/cli/TargetNames.h"

#include "fzctrl/convert/CConvertDriver.h"
#include "platform/fs/FolderEnumerator.h"

#include <algorithm>
#include <filesystem>

namespace fz::cli {

std::string TargetNameOf(std::string_view source) {
    const auto slash = source.rfind('/');
    std::string name(slash == std::string_view::npos ? source : source.substr(slash + 1));
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name = name.substr(0, dot) + ".mp4";
    return name;
}

std::string DefaultTarget(std::string_view source) {
    const auto slash = source.rfind('/');
    const std::string folder(slash == std::string_view::npos ? "" : source.substr(0, slash + 1));
    const std::string sourceName(slash == std::string_view::npos ? source
                                                                 : source.substr(slash + 1));
    std::string name = TargetNameOf(source);
    if (name == sourceName)
        name += ".mp4";
    return folder + name;
}

std::string TargetPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + std::string(name);
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    return absolute.lexically_normal().string();
}

std::vector<std::string> ExpandBatchSources(const std::vector<std::string>& arguments) {
    std::vector<std::string> sources;
    auto add = [&](const std::string& path) {
        const bool listed = std::any_of(sources.begin(), sources.end(), [&](const auto& s) {
            return SamePathIgnoringCase(s, path);
        });
        if (!listed)
            sources.push_back(path);
    };
    for (const std::string& argument : arguments) {
        const std::string path = AbsolutePath(argument);
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            add(path);
            continue;
        }
        const std::string folder = TargetPath(path, "");
        for (const char* pattern : {"*.avi", "*.mpg", "*.mpeg", "*.asf", "*.wmv"})
            for (const fs::FoundEntry& entry : fs::FindFiles(folder + pattern))
                if (!entry.isDirectory)
                    add(folder + entry.name);
    }
    return sources;
}

} // namespace fz::cli
