#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fz::cli {

// The movie's file name for a source: the text after the source's last '/'; when that name's
// last '.' stands after its first character, the extension is replaced by "mp4"; otherwise
// the name stays as it is (the batch list's rule).
std::string TargetNameOf(std::string_view source);

// The default movie of `framzel-cli convert SRC`: SRC's folder and TargetNameOf(SRC); a name
// the rule leaves unchanged (no extension) gets ".mp4" appended, so that the movie never
// replaces its source.
std::string DefaultTarget(std::string_view source);

// `folder` + '/' (unless it ends with one) + `name`.
std::string TargetPath(std::string_view folder, std::string_view name);

// An absolute, normalised form of `path` (relative to the current directory), so that the
// engine sees the same file from any folder. Empty stays empty.
std::string AbsolutePath(const std::string& path);

// The batch list's sources: every FILE as it is, every FOLDER expanded to its videos,
// non-recursively, pattern by pattern in this order: *.avi, *.mpg, *.mpeg, *.asf, *.wmv (letter
// case ignored), each pattern's files in the order the file system gives them. A path already
// listed (letter case ignored) is not listed again. All paths absolute.
std::vector<std::string> ExpandBatchSources(const std::vector<std::string>& arguments);

} // namespace fz::cli
