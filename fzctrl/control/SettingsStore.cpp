#include "fzctrl/control/SettingsStore.h"

#include "platform/fs/DriveC.h"

#include <algorithm>
#include <cstring>

namespace fz {
namespace {

// Reads one 32-bit value; false when the key is not open or the value is missing or larger
// than 4 bytes.
bool ReadInt32(const registry::Key& key, std::string_view name, std::int32_t* value) {
    if (!key.IsOpen())
        return false;
    std::int32_t raw = 0;
    std::uint32_t size = sizeof raw;
    if (key.QueryValue(name, &raw, &size) != registry::kSuccess)
        return false;
    *value = raw;
    return true;
}

std::int32_t LoadRow(const registry::Key& key, std::string_view name, std::int32_t defaultValue,
                     std::int32_t minimum, std::int32_t maximum) {
    std::int32_t value = 0;
    if (!ReadInt32(key, name, &value) || value < minimum || value > maximum)
        return defaultValue;
    return value;
}

registry::Key OpenSettingsForReading() {
    registry::Key key;
    registry::OpenKey(registry::Hive::CurrentUser, kSettingsKeyPath, registry::Access::Read, &key);
    return key;
}

void LoadTempPath(const registry::Key& key, char (&tempPath)[kTempPathSize]) {
    std::uint32_t size = kTempPathSize;
    if (key.IsOpen() && key.QueryValue(kTempPathValueName, tempPath, &size) == registry::kSuccess) {
        tempPath[kTempPathSize - 1] = '\0';
        return;
    }
    std::memset(tempPath, 0, kTempPathSize);
    const std::string folder = DefaultTempFolder();
    if (folder.size() < kTempPathSize)
        std::memcpy(tempPath, folder.data(), folder.size());
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

} // namespace

std::string DefaultTempFolder() {
    return fs::HostPath("C:\\");
}

ConvertParams LoadConvertParams() {
    ConvertParams params{};
    const registry::Key key = OpenSettingsForReading();
    for (const RecordValue& row : kRecordValues)
        params.*row.field = LoadRow(key, row.name, row.defaultValue, row.minimum, row.maximum);
    LoadTempPath(key, params.temp_path);
    return params;
}

registry::Status StoreConvertParams(const ConvertParams& params) {
    registry::Key key;
    if (const registry::Status opened = OpenSettingsForWriting(&key); opened != registry::kSuccess)
        return opened;
    registry::Status result = registry::kSuccess;
    auto keepFirstFailure = [&result](registry::Status status) {
        if (result == registry::kSuccess)
            result = status;
    };
    for (const RecordValue& row : kRecordValues)
        keepFirstFailure(key.SetDword(row.name, static_cast<std::uint32_t>(params.*row.field)));
    const std::string_view tempPath(params.temp_path, strnlen(params.temp_path, kTempPathSize));
    keepFirstFailure(key.SetString(kTempPathValueName, tempPath));
    key.Close();
    return result;
}

const NamedValue* FindNamedValue(std::string_view name) {
    for (const NamedValue& row : kNamedValues)
        if (EqualIgnoringCase(row.name, name))
            return &row;
    return nullptr;
}

std::int32_t LoadNamedValue(const NamedValue& row) {
    const registry::Key key = OpenSettingsForReading();
    return LoadRow(key, row.name, row.defaultValue, row.minimum, row.maximum);
}

registry::Status OpenSettingsForWriting(registry::Key* key) {
    return registry::CreateKey(registry::Hive::CurrentUser, kSettingsKeyPath, kSettingsKeyClass,
                               key);
}

} // namespace fz
