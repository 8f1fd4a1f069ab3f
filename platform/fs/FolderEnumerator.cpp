#include "platform/fs/FolderEnumerator.h"

#include "platform/text/AsciiCase.h"

#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace fz::fs {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

} // namespace

bool MatchesNamePattern(std::string_view name, std::string_view pattern) {
    // Greedy matching with one backtrack point: the position after the last '*' seen and the
    // name position it is currently taken to cover up to. Each mismatch lets that '*' swallow
    // one more character, which is enough because a later '*' makes earlier choices final.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<FoundEntry> FindFiles(std::string_view pathPattern) {
    std::string folder = ".";
    std::string_view pattern = pathPattern;
    if (auto slash = pathPattern.rfind('/'); slash != std::string_view::npos) {
        folder = std::string(pathPattern.substr(0, slash + 1));
        pattern = pathPattern.substr(slash + 1);
    }

    std::vector<FoundEntry> found;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir)
        return found;
    while (const dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !MatchesNamePattern(name, pattern))
            continue;
        bool isDirectory = false;
        if (entry->d_type == DT_DIR) {
            isDirectory = true;
        } else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            std::string full = folder;
            if (full.back() != '/')
                full += '/';
            full += name;
            isDirectory = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        found.push_back(FoundEntry{std::string(name), isDirectory});
    }
    return found;
}

} // namespace fz::fs
