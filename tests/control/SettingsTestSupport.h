#pragma once

#include "fzctrl/control/ConvertParams.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <string_view>

namespace fz::test {

// Direct access to the settings key, independent of the control, for arranging and checking
// what is stored.
void ClearSettings();
void StoreDword(std::string_view name, std::uint32_t value);
void StoreString(std::string_view name, std::string_view text);
std::optional<std::uint32_t> StoredDword(std::string_view name);
std::optional<std::string> StoredString(std::string_view name);

// A record whose every byte is `fill`, so that fields a call must write stand out.
ConvertParams FilledParams(unsigned char fill);
long AddressOf(ConvertParams& params);
std::string TempPathOf(const ConvertParams& params);
void SetTempPath(ConvertParams& params, std::string_view text);

// Moves the settings store, for the life of the object, into a folder below a regular file, so
// that no hive can be created or written there (not even by root).
class UnusableSettingsStore {
public:
    UnusableSettingsStore();
    ~UnusableSettingsStore();
    UnusableSettingsStore(const UnusableSettingsStore&) = delete;
    UnusableSettingsStore& operator=(const UnusableSettingsStore&) = delete;

private:
    std::string m_saved;
};

// Every test starts from an empty settings key.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
};

} // namespace fz::test
