#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fz::fs {

// One entry found by FindFiles.
struct FoundEntry {
    std::string name; // the entry's name in its folder, without the folder
    bool isDirectory = false;
};

// True when `name` matches `pattern`: '*' stands for any run of characters (also none), '?'
// for exactly one, every other character for itself with ASCII letters compared without
// regard to case, as file names are compared on the engine's original platform. Bytes above
// 0x7F (UTF-8) compare exactly. Runs in O(|name| × |pattern|) at worst, never recursing.
bool MatchesNamePattern(std::string_view name, std::string_view pattern);

// Lists the entries of one folder whose names match the last component of `pathPattern`
// ("/data/movies/*.avi": the folder "/data/movies", the pattern "*.avi"; a pattern without '/'
// searches the current directory). Entries come in the order the file system returns them;
// "." and ".." are never listed, subfolders are not searched. A folder that cannot be read
// gives an empty list.
std::vector<FoundEntry> FindFiles(std::string_view pathPattern);

} // namespace fz::fs
