#pragma once

#include "platform/registry/Registry.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace fz::registry {

// The keys and values of one hive in memory, apart from any file format (HiveText.h reads and
// writes them as text). Internal to the registry; the tests use it directly.

// Limits on key paths, so that a damaged or hostile hive cannot make loading slow: a key name
// holds at most 255 bytes, a path at most 128 names and 2048 bytes. A section of a hive file
// beyond them does not load (its lines are kept as damaged lines); a call that names such a
// path gets kInvalidParameter.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 128;
inline constexpr std::size_t kMaxKeyPathLength = 2048;

struct HiveValue {
    std::string name; // as first stored; looked up without regard to case
    ValueType type = ValueType::None;
    std::string data; // raw bytes: REG_SZ without its terminator, REG_DWORD 4 bytes LE
};

struct HiveKey {
    std::string path; // names joined by '\', as first created; "" is the root
    std::string className;
    std::vector<HiveValue> values;
    // Lines of the hive file that did not parse, found in this key's section (the root's: above
    // the first section). They are written back as they stand, so a typo made by hand loses
    // nothing; the registry never reads them.
    std::vector<std::string> damagedLines;

    const HiveValue* FindValue(std::string_view name) const;
    HiveValue* FindValue(std::string_view name);

    // Stores a value (replacing one of the same name, keeping its place and spelling); true
    // when the key changed.
    bool SetValue(std::string_view name, ValueType type, std::string data);
    // True when the value existed.
    bool RemoveValue(std::string_view name);
};

class HiveContents {
public:
    HiveContents();

    // Keys are looked up by their path without regard to case. The path must be normalised
    // (NormalisePath).
    const HiveKey* Find(std::string_view path) const;
    HiveKey* Find(std::string_view path);

    // Creates the key and its missing parents; `created` tells whether the key was new. Null
    // when the path is beyond the limits (IsValidKeyPath).
    HiveKey* Create(std::string_view path, std::string_view className, bool* created);

    // Removes the key and everything below it; the root only loses its values, damaged lines
    // and subkeys. False when the key does not exist.
    bool RemoveTree(std::string_view path);

    // The names of the direct subkeys of a key, in sorted order.
    std::vector<std::string> SubKeyNames(std::string_view path) const;

    // Keeps one value per name (without regard to case) in every key: the first one's place
    // and name with the last one's data. For reading text, where repeats may occur.
    void MergeRepeatedValues();

    // Keys by their folded path: a parent sorts before its subkeys.
    const std::map<std::string, HiveKey>& Keys() const { return m_keys; }

private:
    std::map<std::string, HiveKey> m_keys;
};

// Drops empty names, so that leading, trailing and doubled separators vanish: the path
// \a\\b\ becomes a\b.
std::string NormalisePath(std::string_view path);

// True when a normalised path keeps to kMaxKeyNameLength, kMaxKeyDepth and kMaxKeyPathLength.
bool IsValidKeyPath(std::string_view path);

} // namespace fz::registry
