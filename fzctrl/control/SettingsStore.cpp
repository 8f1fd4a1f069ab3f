#include "fzctrl/control/SettingsStore.h"

#include "platform/fs/DriveC.h"
#include "platform/text/AsciiCase.h"

#include <cstring>

namespace fz {
namespace {

// Reads one 32-bit value; false when the value is missing or larger than 4 bytes.
bool ReadInt32(const registry::KeyValues& values, std::string_view name, std::int32_t* value) {
    std::int32_t raw = 0;
    std::uint32_t size = sizeof raw;
    if (values.QueryValue(name, &raw, &size) != registry::kSuccess)
        return false;
    *value = raw;
    return true;
}

std::int32_t LoadRow(const registry::KeyValues& values, std::string_view name,
                     std::int32_t defaultValue, std::int32_t minimum, std::int32_t maximum) {
    std::int32_t value = 0;
    if (!ReadInt32(values, name, &value) || value < minimum || value > maximum)
        return defaultValue;
    return value;
}

// The settings key's values as one version of the store holds them (none when it is missing).
registry::KeyValues LoadSettings() {
    registry::Key key;
    registry::OpenKey(registry::Hive::CurrentUser, kSettingsKeyPath, registry::Access::Read, &key);
    return key.Values();
}

void LoadTempPath(const registry::KeyValues& values, char (&tempPath)[kTempPathSize]) {
    std::uint32_t size = kTempPathSize;
    if (values.QueryValue(kTempPathValueName, tempPath, &size) == registry::kSuccess) {
        tempPath[kTempPathSize - 1] = '\0';
        return;
    }
    std::memset(tempPath, 0, kTempPathSize);
    const std::string folder = DefaultTempFolder();
    if (folder.size() < kTempPathSize)
        std::memcpy(tempPath, folder.data(), folder.size());
}

} // namespace

std::string DefaultTempFolder() {
    return fs::HostPath("C:\\");
}

ConvertParams LoadConvertParams() {
    ConvertParams params{};
    const registry::KeyValues values = LoadSettings();
    for (const RecordValue& row : kRecordValues)
        params.*row.field = LoadRow(values, row.name, row.defaultValue, row.minimum, row.maximum);
    LoadTempPath(values, params.temp_path);
    return params;
}

registry::Status StoreConvertParams(const ConvertParams& params) {
    registry::Transaction change(registry::Hive::CurrentUser);
    change.CreateKey(kSettingsKeyPath, kSettingsKeyClass);
    for (const RecordValue& row : kRecordValues)
        change.SetDword(kSettingsKeyPath, row.name, static_cast<std::uint32_t>(params.*row.field));
    const std::string_view tempPath(params.temp_path, strnlen(params.temp_path, kTempPathSize));
    change.SetString(kSettingsKeyPath, kTempPathValueName, tempPath);
    return change.Commit();
}

const NamedValue* FindNamedValue(std::string_view name) {
    for (const NamedValue& row : kNamedValues)
        if (EqualsIgnoringAsciiCase(row.name, name))
            return &row;
    return nullptr;
}

std::int32_t LoadNamedValue(const NamedValue& row) {
    return LoadRow(LoadSettings(), row.name, row.defaultValue, row.minimum, row.maximum);
}

registry::Status OpenSettingsForWriting(registry::Key* key) {
    return registry::CreateKey(registry::Hive::CurrentUser, kSettingsKeyPath, kSettingsKeyClass,
                               key);
}

} // namespace fz
