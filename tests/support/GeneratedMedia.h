#pragma once

// Test sources written by fzmediagen (FFmpeg's encoders), made on first use and kept for the
// rest of the test process in its private work folder (work/generated-media/). Link
// framzel_test_media to use them.

#include "tools/mediagen/ClipGenerator.h"

#include <filesystem>
#include <string>

namespace fz::test {

// The options of the standard clip of a kind: 2 s, 320 × 240, 25 pictures per second, a 1 kHz
// tone, no marker.
mediagen::ClipOptions StandardClipOptions(mediagen::ClipKind kind);

// The standard clip of `kind` (named after the kind, with the kind's extension). On failure the
// current test fails and the path is empty.
std::filesystem::path GeneratedClip(mediagen::ClipKind kind);

// A clip with these options, written once per process under `name` (which should carry the
// extension, e.g. "marker.avi"); asking again for the same name gives the same file. Thread-safe.
std::filesystem::path GeneratedClip(const std::string& name, const mediagen::ClipOptions& options);

} // namespace fz::test
