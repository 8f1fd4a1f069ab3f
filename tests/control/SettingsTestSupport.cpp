#include "tests/control/SettingsTestSupport.h"

#include "fzctrl/control/SettingsTables.h"
#include "platform/registry/Registry.h"
#include "tests/support/IsolatedEnvironment.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fz::test {
namespace {

registry::Key WritableKey() {
    registry::Key key;
    EXPECT_EQ(
        registry::CreateKey(registry::Hive::CurrentUser, kSettingsKeyPath, kSettingsKeyClass, &key),
        registry::kSuccess);
    return key;
}

registry::Key ReadableKey() {
    registry::Key key;
    registry::OpenKey(registry::Hive::CurrentUser, kSettingsKeyPath, registry::Access::Read, &key);
    return key;
}

} // namespace

void ClearSettings() {
    const registry::Status status =
        registry::DeleteKeyTree(registry::Hive::CurrentUser, kSettingsKeyPath);
    ASSERT_TRUE(status == registry::kSuccess || status == registry::kFileNotFound) << status;
}

void StoreDword(std::string_view name, std::uint32_t value) {
    registry::Key key = WritableKey();
    ASSERT_EQ(key.SetDword(name, value), registry::kSuccess) << name;
}

void StoreString(std::string_view name, std::string_view text) {
    registry::Key key = WritableKey();
    ASSERT_EQ(key.SetString(name, text), registry::kSuccess) << name;
}

std::optional<std::uint32_t> StoredDword(std::string_view name) {
    const registry::Key key = ReadableKey();
    if (!key.IsOpen())
        return std::nullopt;
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    registry::ValueType type = registry::ValueType::None;
    if (key.QueryValue(name, &value, &size, &type) != registry::kSuccess ||
        type != registry::ValueType::Dword || size != sizeof value)
        return std::nullopt;
    return value;
}

std::optional<std::string> StoredString(std::string_view name) {
    const registry::Key key = ReadableKey();
    if (!key.IsOpen())
        return std::nullopt;
    std::uint32_t size = 0;
    registry::ValueType type = registry::ValueType::None;
    if (key.QueryValue(name, nullptr, &size, &type) != registry::kSuccess ||
        type != registry::ValueType::String || size == 0)
        return std::nullopt;
    std::vector<char> text(size);
    if (key.QueryValue(name, text.data(), &size) != registry::kSuccess)
        return std::nullopt;
    EXPECT_EQ(text.back(), '\0') << "a string is read back with its terminator";
    return std::string(text.data(), strnlen(text.data(), text.size()));
}

ConvertParams FilledParams(unsigned char fill) {
    ConvertParams params;
    std::memset(&params, fill, sizeof params);
    return params;
}

long AddressOf(ConvertParams& params) {
    return reinterpret_cast<long>(&params);
}

std::string TempPathOf(const ConvertParams& params) {
    return std::string(params.temp_path, strnlen(params.temp_path, kTempPathSize));
}

void SetTempPath(ConvertParams& params, std::string_view text) {
    std::memset(params.temp_path, 0, kTempPathSize);
    std::memcpy(params.temp_path, text.data(), std::min(text.size(), kTempPathSize - 1));
}

UnusableSettingsStore::UnusableSettingsStore()
    : m_saved(RegistryDir().string()) {
    const auto folder = FreshWorkDir("unusable-store");
    WriteFile(folder / "file", "not a folder");
    setenv("FRAMZEL_REGISTRY_DIR", (folder / "file" / "registry").c_str(), 1);
}

UnusableSettingsStore::~UnusableSettingsStore() {
    setenv("FRAMZEL_REGISTRY_DIR", m_saved.c_str(), 1);
}

} // namespace fz::test
