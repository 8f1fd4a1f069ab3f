#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace fz::test {
namespace {

std::filesystem::path& Root() {
    static std::filesystem::path root;
    return root;
}

} // namespace

namespace detail {

void SetUpIsolatedEnvironment() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/framzel-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create the test folder " + pattern);
    Root() = pattern;
    std::filesystem::create_directories(RegistryDir());
    std::filesystem::create_directories(WorkDir());
    setenv("FRAMZEL_REGISTRY_DIR", RegistryDir().c_str(), 1);
    setenv("FRAMZEL_DRIVE_C", DriveCDir().c_str(), 1);
    setenv("FRAMZEL_AUDIO", "null", 0);
    setenv("FRAMZEL_MIXER", "fake:100", 0);
}

void TearDownIsolatedEnvironment() {
    if (Root().empty() || std::getenv("FRAMZEL_KEEP_TEST_DIR"))
        return;
    std::error_code ignored;
    // Tests may leave read-only folders behind (unwritable settings stores); make them
    // removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(Root(), ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(Root(), ignored);
}

} // namespace detail

std::filesystem::path TestRoot() {
    return Root();
}
std::filesystem::path RegistryDir() {
    return Root() / "registry";
}
std::filesystem::path DriveCDir() {
    return Root() / "c";
}
std::filesystem::path WorkDir() {
    return Root() / "work";
}

std::filesystem::path FreshWorkDir(const std::string& name) {
    auto dir = WorkDir() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::filesystem::path StandardDataDir() {
    std::filesystem::path dir = FRAMZEL_STANDARD_DATA_DIR;
    std::error_code ignored;
    if (std::filesystem::is_directory(dir, ignored))
        return dir;
    // A developer without the data skips these checks; CI must run them.
    if (const char* ci = std::getenv("CI"); ci && *ci)
        ADD_FAILURE() << "the standards' data folder " << dir << " is missing and CI is set";
    return {};
}

std::filesystem::path TestDataDir() {
    return std::filesystem::path(FRAMZEL_SOURCE_DIR) / "tests/data";
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace fz::test
