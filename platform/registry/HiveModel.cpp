#include "platform/registry/HiveModel.h"

#include "platform/text/AsciiCase.h"

#include <unordered_map>

namespace fz::registry {
namespace {

constexpr char kSeparator = '\\';

std::string_view LastName(std::string_view path) {
    const std::size_t at = path.rfind(kSeparator);
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

const HiveValue* HiveKey::FindValue(std::string_view name) const {
    for (const HiveValue& value : values)
        if (EqualsIgnoringAsciiCase(value.name, name))
            return &value;
    return nullptr;
}

HiveValue* HiveKey::FindValue(std::string_view name) {
    return const_cast<HiveValue*>(static_cast<const HiveKey*>(this)->FindValue(name));
}

bool HiveKey::SetValue(std::string_view name, ValueType type, std::string data) {
    if (HiveValue* value = FindValue(name)) {
        if (value->type == type && value->data == data)
            return false;
        value->type = type;
        value->data = std::move(data);
        return true;
    }
    values.push_back(HiveValue{std::string(name), type, std::move(data)});
    return true;
}

bool HiveKey::RemoveValue(std::string_view name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (EqualsIgnoringAsciiCase(it->name, name)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

HiveContents::HiveContents() {
    m_keys.emplace(std::string(), HiveKey{});
}

const HiveKey* HiveContents::Find(std::string_view path) const {
    auto it = m_keys.find(FoldAscii(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

HiveKey* HiveContents::Find(std::string_view path) {
    return const_cast<HiveKey*>(static_cast<const HiveContents*>(this)->Find(path));
}

HiveKey* HiveContents::Create(std::string_view path, std::string_view className, bool* created) {
    if (!IsValidKeyPath(path))
        return nullptr;
    HiveKey* key = &m_keys.begin()->second; // the root sorts first
    bool isNew = false;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view childPath = path.substr(0, end);
        auto [it, inserted] = m_keys.try_emplace(FoldAscii(childPath));
        if (inserted) {
            // Spelled as the parent was first created, then this name as given.
            it->second.path = key->path.empty() ? std::string() : key->path + kSeparator;
            it->second.path += path.substr(start, end - start);
        }
        isNew = inserted;
        key = &it->second;
        start = end + 1;
    }
    if (isNew)
        key->className = className;
    if (created)
        *created = isNew;
    return key;
}

bool HiveContents::RemoveTree(std::string_view path) {
    const std::string folded = FoldAscii(path);
    if (folded.empty()) {
        HiveKey& root = m_keys.begin()->second;
        root.values.clear();
        root.damagedLines.clear();
        m_keys.erase(std::next(m_keys.begin()), m_keys.end());
        return true;
    }
    auto it = m_keys.find(folded);
    if (it == m_keys.end())
        return false;
    m_keys.erase(it);
    // The subkeys follow "<path>\" in the order, but siblings such as "<path>.1" or "<path> 2"
    // may sort between the key and them ('\' sorts after ' ', '-', '.' and the digits).
    const std::string prefix = folded + kSeparator;
    auto first = m_keys.lower_bound(prefix);
    auto last = first;
    while (last != m_keys.end() && StartsWith(last->first, prefix))
        ++last;
    m_keys.erase(first, last);
    return true;
}

void HiveContents::MergeRepeatedValues() {
    std::unordered_map<std::string, std::size_t> seen;
    for (auto& [folded, key] : m_keys) {
        if (key.values.size() < 2)
            continue;
        seen.clear();
        std::vector<HiveValue> merged;
        merged.reserve(key.values.size());
        for (HiveValue& value : key.values) {
            auto [it, inserted] = seen.try_emplace(FoldAscii(value.name), merged.size());
            if (inserted) {
                merged.push_back(std::move(value));
            } else {
                merged[it->second].type = value.type;
                merged[it->second].data = std::move(value.data);
            }
        }
        key.values = std::move(merged);
    }
}

std::vector<std::string> HiveContents::SubKeyNames(std::string_view path) const {
    const std::string folded = FoldAscii(path);
    const std::string prefix = folded.empty() ? std::string() : folded + kSeparator;
    std::vector<std::string> names;
    for (auto it = m_keys.lower_bound(prefix); it != m_keys.end(); ++it) {
        const std::string& key = it->first;
        if (!StartsWith(key, prefix))
            break;
        if (key.size() > prefix.size() && key.find(kSeparator, prefix.size()) == std::string::npos)
            names.emplace_back(LastName(it->second.path));
    }
    return names;
}

std::string NormalisePath(std::string_view path) {
    std::string normal;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start) {
            if (!normal.empty())
                normal += kSeparator;
            normal.append(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return normal;
}

bool IsValidKeyPath(std::string_view path) {
    if (path.size() > kMaxKeyPathLength)
        return false;
    std::size_t depth = 0;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end - start > kMaxKeyNameLength || ++depth > kMaxKeyDepth)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace fz::registry
