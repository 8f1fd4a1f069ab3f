#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"
#include "platform/registry/HiveModel.h"
#include "platform/registry/HiveSnapshot.h"
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

std::string DwordBytes(std::uint32_t value) {
    std::string data;
    for (int shift = 0; shift < 32; shift += 8)
        data += static_cast<char>((value >> shift) & 0xFF);
    return data;
}

// Read-modify-write under the hive's lock. `change(contents, changed)` works on a private copy
// of the hive, returns the status and sets `changed` when the hive must be written.
template <class Change>
Status ModifyHive(const HiveLocation& location, Change&& change) {
    HiveLock lock;
    if (Status status = lock.Acquire(location); status != kSuccess)
        return status;
    HiveContents contents = *LoadHiveForChange(location);
    bool changed = false;
    const Status status = change(contents, changed);
    if (status != kSuccess || !changed)
        return status;
    std::string text = FormatHive(contents, location.name);
    if (const Status written = WriteHiveAtomically(location, text); written != kSuccess)
        return written;
    RememberHive(location, std::move(text));
    return kSuccess;
}

// The key for a change: found, or for the hive's root created on demand (HKEY_CLASSES_ROOT's
// root is "Software\Classes", which need not exist yet).
HiveKey* FindForWriting(HiveContents& contents, const std::string& path,
                        const std::string& filePath, bool& changed) {
    if (HiveKey* key = contents.Find(filePath))
        return key;
    if (!path.empty())
        return nullptr;
    changed = true;
    return contents.Create(filePath, {}, nullptr);
}

// Removes a key tree; the root of a hive keeps existing (also HKEY_CLASSES_ROOT's) with its
// class string. False when there was nothing to remove.
bool RemoveKeyTree(HiveContents& contents, const std::string& path, const std::string& filePath) {
    const HiveKey* key = contents.Find(filePath);
    if (!key)
        return false;
    const std::string className = key->className;
    contents.RemoveTree(filePath);
    if (path.empty() && !filePath.empty())
        contents.Create(filePath, className, nullptr);
    return true;
}

} // namespace

// ---- KeyValues ----

struct KeyValues::State {
    std::shared_ptr<const HiveContents> hive;
    const HiveKey* key = nullptr; // inside `hive`
};

KeyValues::KeyValues() = default;
KeyValues::~KeyValues() = default;
KeyValues::KeyValues(const KeyValues&) = default;
KeyValues& KeyValues::operator=(const KeyValues&) = default;

bool KeyValues::Exists() const {
    return m_state && m_state->key;
}

Status KeyValues::QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                             ValueType* type) const {
    if (buffer && !size)
        return kInvalidParameter;
    const HiveValue* value = Exists() ? m_state->key->FindValue(name) : nullptr;
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

std::vector<std::string> KeyValues::Names() const {
    std::vector<std::string> names;
    if (Exists())
        for (const HiveValue& value : m_state->key->values)
            names.push_back(value.name);
    return names;
}

// ---- Key ----

struct Key::State {
    HiveLocation location;
    std::string path;     // normalised, as given by the caller
    std::string filePath; // the key in the hive file
    std::string className;
    Access access = Access::Read;

    Status SetValue(std::string_view name, ValueType type, std::string data) const {
        if (access != Access::ReadWrite)
            return kAccessDenied;
        return ModifyHive(location, [&](HiveContents& contents, bool& changed) {
            HiveKey* key = FindForWriting(contents, path, filePath, changed);
            if (!key)
                return kFileNotFound; // deleted since it was opened
            changed = key->SetValue(name, type, std::move(data)) || changed;
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

KeyValues Key::Values() const {
    KeyValues values;
    if (!m_state)
        return values;
    auto state = std::make_shared<KeyValues::State>();
    state->hive = LoadHive(m_state->location);
    state->key = state->hive->Find(m_state->filePath);
    values.m_state = std::move(state);
    return values;
}

Status Key::QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                       ValueType* type) const {
    if (!m_state)
        return kInvalidParameter;
    return Values().QueryValue(name, buffer, size, type);
}

Status Key::SetDword(std::string_view name, std::uint32_t value) {
    if (!m_state)
        return kInvalidParameter;
    return m_state->SetValue(name, ValueType::Dword, DwordBytes(value));
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
        if (!key || !key->RemoveValue(name))
            return kFileNotFound;
        changed = true;
        return kSuccess;
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
    const auto contents = LoadHive(m_state->location);
    if (!contents->Find(m_state->filePath))
        return {};
    return contents->SubKeyNames(m_state->filePath);
}

std::vector<std::string> Key::ValueNames() const {
    return Values().Names();
}

// ---- Transaction ----

struct Transaction::Step {
    enum class Kind { CreateKey, SetValue, DeleteValue, DeleteKeyTree };

    Step(Kind stepKind, std::string_view keyPath, std::string_view stepName = {},
         ValueType valueType = ValueType::None, std::string valueData = {})
        : kind(stepKind)
        , path(NormalisePath(keyPath))
        , name(stepName)
        , type(valueType)
        , data(std::move(valueData)) {}

    Kind kind;
    std::string path; // normalised
    std::string name; // value name, or the class string of CreateKey
    ValueType type;
    std::string data;
    bool invalid = false; // a null data pointer with a size
};

Transaction::Transaction(Hive hive)
    : m_hive(hive) {}

Transaction::~Transaction() = default;

void Transaction::CreateKey(std::string_view path, std::string_view className) {
    m_steps.emplace_back(Step::Kind::CreateKey, path, className);
}

void Transaction::SetDword(std::string_view path, std::string_view name, std::uint32_t value) {
    m_steps.emplace_back(Step::Kind::SetValue, path, name, ValueType::Dword, DwordBytes(value));
}

void Transaction::SetString(std::string_view path, std::string_view name, std::string_view text) {
    m_steps.emplace_back(Step::Kind::SetValue, path, name, ValueType::String,
                         std::string(text.substr(0, text.find('\0'))));
}

void Transaction::SetBinary(std::string_view path, std::string_view name, const void* data,
                            std::uint32_t size) {
    Step& step = m_steps.emplace_back(Step::Kind::SetValue, path, name, ValueType::Binary);
    if (!data && size > 0)
        step.invalid = true;
    else if (size > 0)
        step.data.assign(static_cast<const char*>(data), size);
}

void Transaction::DeleteValue(std::string_view path, std::string_view name) {
    m_steps.emplace_back(Step::Kind::DeleteValue, path, name);
}

void Transaction::DeleteKeyTree(std::string_view path) {
    m_steps.emplace_back(Step::Kind::DeleteKeyTree, path);
}

Status Transaction::Commit() {
    const HiveLocation location = LocateHive(m_hive);
    for (const Step& step : m_steps)
        if (step.invalid || !IsValidKeyPath(FilePath(location, step.path)))
            return kInvalidParameter;
    return ModifyHive(location, [&](HiveContents& contents, bool& changed) {
        for (const Step& step : m_steps) {
            const std::string filePath = FilePath(location, step.path);
            switch (step.kind) {
            case Step::Kind::CreateKey: {
                bool created = false;
                contents.Create(filePath, step.name, &created);
                changed = changed || created;
                break;
            }
            case Step::Kind::SetValue: {
                bool created = false;
                HiveKey* key = contents.Create(filePath, {}, &created);
                changed = key->SetValue(step.name, step.type, step.data) || created || changed;
                break;
            }
            case Step::Kind::DeleteValue:
                if (HiveKey* key = contents.Find(filePath))
                    changed = key->RemoveValue(step.name) || changed;
                break;
            case Step::Kind::DeleteKeyTree:
                changed = RemoveKeyTree(contents, step.path, filePath) || changed;
                break;
            }
        }
        return kSuccess;
    });
}

// ---- keys by path ----

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
    if (!IsValidKeyPath(state->filePath))
        return kInvalidParameter;
    bool isNew = false;
    const Status status = ModifyHive(state->location, [&](HiveContents& contents, bool& changed) {
        const std::size_t before = contents.Keys().size();
        const HiveKey* stored = contents.Create(state->filePath, className, &isNew);
        state->className = stored->className;
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
    if (!IsValidKeyPath(state->filePath))
        return kInvalidParameter;
    const auto contents = LoadHive(state->location);
    if (const HiveKey* stored = contents->Find(state->filePath))
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
    if (!IsValidKeyPath(filePath))
        return kInvalidParameter;
    return ModifyHive(location, [&](HiveContents& contents, bool& changed) {
        if (!contents.Find(filePath))
            return normal.empty() ? kSuccess : kFileNotFound;
        changed = RemoveKeyTree(contents, normal, filePath);
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
