#pragma once

#include <string>

namespace fz::cli {

// Why a conversion of `source` into `target` (absolute host paths) cannot work, in a few words
// for people, found before the engine is asked: no such file, a folder, the same file as the
// target, a target folder that does not exist or cannot be written, a target that is a folder.
// Empty when nothing speaks against it.
std::string CheckBeforeConverting(const std::string& source, const std::string& target);

// Why the engine refused or failed, as far as can be found out afterwards: a source the
// decoders do not know, one without sound or without pictures (asked of FFmpeg), a full disk at
// the target; otherwise a general sentence.
std::string ExplainFailure(const std::string& source, const std::string& target);

} // namespace fz::cli
