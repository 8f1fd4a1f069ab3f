#pragma once

// The fixture and small helpers of the registry tests.

#include "platform/registry/Registry.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace fz::test {

using namespace fz::registry;
namespace fs = std::filesystem;

inline constexpr const char* kSettingsKey = "Software\\Kelvora\\framzel";

// Each test starts from an empty store in the process's own registry folder.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("FRAMZEL_REGISTRY_DIR", RegistryDir().c_str(), 1);
        std::error_code ignored;
        fs::remove_all(RegistryDir(), ignored);
        fs::create_directories(RegistryDir());
    }
    void TearDown() override { setenv("FRAMZEL_REGISTRY_DIR", RegistryDir().c_str(), 1); }

    static std::string UserHiveText() { return ReadFile(RegistryDir() / "user.reg"); }
};

inline std::uint32_t QueryDword(const Key& key, std::string_view name, Status* status = nullptr) {
    std::uint32_t value = 0xDEADBEEF;
    std::uint32_t size = sizeof value;
    const Status result = key.QueryValue(name, &value, &size);
    if (status)
        *status = result;
    return value;
}

inline std::string QueryString(const Key& key, std::string_view name) {
    std::uint32_t size = 0;
    if (key.QueryValue(name, nullptr, &size) != kSuccess || size == 0)
        return "<missing>";
    std::string text(size, '?');
    if (key.QueryValue(name, text.data(), &size) != kSuccess)
        return "<failed>";
    EXPECT_EQ(text.back(), '\0');
    text.pop_back();
    return text;
}

} // namespace fz::test
