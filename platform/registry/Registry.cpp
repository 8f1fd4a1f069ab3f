#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"
#include "platform/registry/HiveText.h"

#include <cstring>

namespace fz::registry {
namespace {

// The key's path inside the hive file: HKEY_CLASSES_ROOT keys live under the machine hive's
// "Software\Classes".
std::string FilePath(const HiveLocation& location, const std::string& path) {
    if (location.prefix.empty())
        return path;
    return path.empty() ? location.prefix : location.prefix + "\\" + path;
}

HiveContents LoadHive(const HiveLocation& location) {
    return ParseHive(ReadHiveText(location));
}

// Read-modify-write under the hive's lock. `change(contents)` returns the status and sets
// `changed` when the hive must be written.
template <class Change>
Status ModifyHive(const HiveLocation& location, Change&& change) {
    HiveLock lock;
    if (Status status = lock.Acquire(location); status != kSuccess)
        return status;
    HiveContents contents = LoadHive(location);
    bool changed = false;
    const Status status = change(contents, changed);
    if (status != kSuccess || !changed)
        return status;
    return WriteHiveAtomically(location, FormatHive(contents, location.name));
}

} // namespace

struct Key::State {
    HiveLocation location;
    std::string path;     // normalised, as given by the caller
    std::string filePath; // the key in the hive file
    std::string className;
    Access access = Access::Read;

    // The key in freshly loaded contents; a hive's root always exists (HKEY_CLASSES_ROOT's
    // root is created on demand when written).
    const HiveKey* Find(const HiveContents& contents) const { return contents.Find(filePath); }
    HiveKey* FindForWriting(HiveContents& contents, bool& changed) const {
        if (HiveKey* key = contents.Find(filePath))
            return key;
        if (!path.empty())
            return nullptr;
        changed = true;
        return &contents.Create(filePath, {}, nullptr);
    }

    Status SetValue(std::string_view name, ValueType type, std::string data) const {
        if (access != Access::ReadWrite)
            return kAccessDenied;
        return ModifyHive(location, [&](HiveContents& contents, bool& changed) {
            HiveKey* key = FindForWriting(contents, changed);
            if (!key)
                return kFileNotFound; // deleted since it was opened
            if (HiveValue* value = key->FindValue(name)) {
                if (value->type == type && value->data == data)
                    return kSuccess;
                value->type = type;
                value->data = std::move(data);
            } else {
                key->values.push_back(HiveValue{std::string(name), type, std::move(data)});
            }
            changed = true;
            return kSuccess;
        });
    }
};

Key::Key() = default;
Key::~Key() = default;
Key::Key(Key&&) noexcept = default;
Key& Key::operator=(Key&&) noexcept = default;

bool Key::IsOpen() const {
    return m_state != nullptr;
}

void Key::Close() {
    m_state.reset();
}

Status Key::QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                       ValueType* type) const {
    if (!m_state || (buffer && !size))
        return kInvalidParameter;
    const HiveContents contents = LoadHive(m_state->location);
    const HiveKey* key = m_state->Find(contents);
    const HiveValue* value = key ? key->FindValue(name) : nullptr;
    if (!value)
        return kFileNotFound;
    const bool terminated = value->type == ValueType::String;
    const std::size_t stored = value->data.size() + (terminated ? 1 : 0);
    if (stored > 0xFFFFFFFFu)
        return kInvalidParameter;
    if (type)
        *type = value->type;
    if (!buffer) {
        if (size)
            *size = static_cast<std::uint32_t>(stored);
        return kSuccess;
    }
    if (*size < stored) {
        *size = static_cast<std::uint32_t>(stored);
        return kMoreData;
    }
    if (!value->data.empty())
        std::memcpy(buffer, value->data.data(), value->data.size());
    if (terminated)
        static_cast<char*>(buffer)[value->data.size()] = '\0';
    *size = static_cast<std::uint32_t>(stored);
    return kSuccess;
}

Status Key::SetDword(std::string_view name, std::uint32_t value) {
    if (!m_state)
        return kInvalidParameter;
    std::string data;
    for (int shift = 0; shift < 32; shift += 8)
        data += static_cast<char>((value >> shift) & 0xFF);
    return m_state->SetValue(name, ValueType::Dword, std::move(data));
}

Status Key::SetString(std::string_view name, std::string_view text) {
    if (!m_state)
        return kInvalidParameter;
    return m_state->SetValue(name, ValueType::String, std::string(text.substr(0, text.find('\0'))));
}

Status Key::SetBinary(std::string_view name, const void* data, std::uint32_t size) {
    if (!m_state || (!data && size > 0))
        return kInvalidParameter;
    return m_state->SetValue(name, ValueType::Binary,
                             size ? std::string(static_cast<const char*>(data), size)
                                  : std::string());
}

Status Key::DeleteValue(std::string_view name) {
    if (!m_state)
        return kInvalidParameter;
    if (m_state->access != Access::ReadWrite)
        return kAccessDenied;
    return ModifyHive(m_state->location, [&](HiveContents& contents, bool& changed) {
        HiveKey* key = contents.Find(m_state->filePath);
        if (!key)
            return kFileNotFound;
        for (auto it = key->values.begin(); it != key->values.end(); ++it) {
            if (EqualsFolded(it->name, name)) {
                key->values.erase(it);
                changed = true;
                return kSuccess;
            }
        }
        return kFileNotFound;
    });
}

std::string Key::Path() const {
    return m_state ? m_state->path : std::string();
}

std::string Key::ClassName() const {
    return m_state ? m_state->className : std::string();
}

std::vector<std::string> Key::SubKeyNames() const {
    if (!m_state)
        return {};
    const HiveContents contents = LoadHive(m_state->location);
    if (!m_state->Find(contents))
        return {};
    return contents.SubKeyNames(m_state->filePath);
}

std::vector<std::string> Key::ValueNames() const {
    std::vector<std::string> names;
    if (!m_state)
        return names;
    const HiveContents contents = LoadHive(m_state->location);
    if (const HiveKey* key = m_state->Find(contents))
        for (const HiveValue& value : key->values)
            names.push_back(value.name);
    return names;
}

Status CreateKey(Hive hive, std::string_view path, std::string_view className, Key* key,
                 bool* created) {
    if (!key)
        return kInvalidParameter;
    key->Close();
    auto state = std::make_unique<Key::State>();
    state->location = LocateHive(hive);
    state->path = NormalisePath(path);
    state->filePath = FilePath(state->location, state->path);
    state->access = Access::ReadWrite;
    bool isNew = false;
    const Status status = ModifyHive(state->location, [&](HiveContents& contents, bool& changed) {
        const std::size_t before = contents.Keys().size();
        const HiveKey& stored = contents.Create(state->filePath, className, &isNew);
        state->className = stored.className;
        changed = contents.Keys().size() != before;
        return kSuccess;
    });
    if (status != kSuccess)
        return status;
    if (created)
        *created = isNew;
    key->m_state = std::move(state);
    return kSuccess;
}

Status OpenKey(Hive hive, std::string_view path, Access access, Key* key) {
    if (!key)
        return kInvalidParameter;
    key->Close();
    auto state = std::make_unique<Key::State>();
    state->location = LocateHive(hive);
    state->path = NormalisePath(path);
    state->filePath = FilePath(state->location, state->path);
    state->access = access;
    const HiveContents contents = LoadHive(state->location);
    if (const HiveKey* stored = contents.Find(state->filePath))
        state->className = stored->className;
    else if (!state->path.empty())
        return kFileNotFound;
    key->m_state = std::move(state);
    return kSuccess;
}

Status DeleteKeyTree(Hive hive, std::string_view path) {
    const HiveLocation location = LocateHive(hive);
    const std::string normal = NormalisePath(path);
    const std::string filePath = FilePath(location, normal);
    return ModifyHive(location, [&](HiveContents& contents, bool& changed) {
        const HiveKey* key = contents.Find(filePath);
        if (!key)
            return normal.empty() ? kSuccess : kFileNotFound;
        const std::string className = key->className;
        changed = contents.RemoveTree(filePath);
        if (normal.empty() && !filePath.empty()) // a root stays, also HKEY_CLASSES_ROOT's
            contents.Create(filePath, className, nullptr);
        return kSuccess;
    });
}

std::string HiveFolder(Hive hive) {
    return LocateHive(hive).folder;
}

std::string HiveFile(Hive hive) {
    return LocateHive(hive).file;
}

} // namespace fz::registry
