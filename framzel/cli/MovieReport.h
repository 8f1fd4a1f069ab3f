#pragma once

#include "fzctrl/convert/MovieInspector.h"

#include <string>

namespace fz::cli {

// What framzel-cli inspect prints about a movie: for people, a few lines (picture size, frames
// and their duration, the sound's format and length, each fault); with --json, one JSON object.
std::string MovieReportText(const std::string& path, const MovieInspection& inspection);
std::string MovieReportJson(const std::string& path, const MovieInspection& inspection);

// A JSON string literal for `text` (quotes, backslashes and control characters escaped; other
// bytes are passed as they are).
std::string JsonString(const std::string& text);

} // namespace fz::cli
