#pragma once

#include <filesystem>
#include <string>

namespace fz::test {

// Every test process gets a private temporary folder, created before the first test runs and
// removed after the last (kept when FRAMZEL_KEEP_TEST_DIR is set). Inside it:
//   registry/  FRAMZEL_REGISTRY_DIR, the settings store of this process
//   c/         FRAMZEL_DRIVE_C, drive C: of this process
//   work/      scratch space for the test's own files
// FRAMZEL_AUDIO is set to "null" and FRAMZEL_MIXER to "fake:100" unless already set.
std::filesystem::path TestRoot();
std::filesystem::path RegistryDir();
std::filesystem::path DriveCDir();
std::filesystem::path WorkDir();

// A fresh empty subfolder of work/ with the given name (removed first if present).
std::filesystem::path FreshWorkDir(const std::string& name);

// The folder with the standards' numeric tables, or an empty path when it is not at hand (the
// caller skips its check then; when the environment variable CI is set, the calling test also
// fails, so that CI never passes without the data).
std::filesystem::path StandardDataDir();

// The source tree's folder of test data files (tests/data).
std::filesystem::path TestDataDir();

// Reads a whole file; an unreadable file gives an empty string.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

namespace detail {
void SetUpIsolatedEnvironment();
void TearDownIsolatedEnvironment();
} // namespace detail

} // namespace fz::test
