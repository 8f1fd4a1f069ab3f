#pragma once

#include "platform/registry/Registry.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace fz::registry {

// The contents of one hive file and its text form. Internal to the registry; the tests read
// and write the text directly.
//
// The text is UTF-8, one item per line:
//
//   # comment (also ';')
//   [Software\Kelvora\framzel] class="option"
//   "width"=dword:00000140
//   "temp_path"=sz:"C:\\"
//   @=sz:"default value of the key"
//   "InstalledVersion"=hex:00,00,00,08,00,00,00,01
//   "other"=hex(7):61,00
//
// A section line names a key by its path, names joined by '\'; its optional class string
// follows. In a path, '%' followed by two hex digits stands for one byte: it is written for
// '%', '[', ']', '"', control bytes, a leading or trailing space of a name and any byte that is
// not part of valid UTF-8. A value line is the value's name in quotes (or '@' for the default
// value), '=', and the typed data:
//   dword:XXXXXXXX   REG_DWORD, one to eight hex digits
//   sz:"text"        REG_SZ, the text without its terminator
//   hex:bb,bb,...    REG_BINARY (possibly no bytes)
//   hex(N):bb,...    any other type number N (decimal), kept as it is
// Quoted text escapes '\' as \\, '"' as \", and any other byte as \xHH (written for control
// bytes and bytes that are not valid UTF-8; \n, \r and \t are read too).
//
// Reading never fails: a line that does not parse is ignored, and so are the value lines
// below a section line that does not parse (they cannot be placed); everything else is kept.
// A key's missing parents are created. A repeated section adds to the same key, a repeated
// value replaces the earlier one. Writing produces a header comment and then the keys in
// sorted order, so the file is stable under rewriting.

struct HiveValue {
    std::string name; // as first stored; looked up without regard to case
    ValueType type = ValueType::None;
    std::string data; // raw bytes: REG_SZ without its terminator, REG_DWORD 4 bytes LE
};

struct HiveKey {
    std::string path; // names joined by '\', as first created; "" is the root
    std::string className;
    std::vector<HiveValue> values;

    const HiveValue* FindValue(std::string_view name) const;
    HiveValue* FindValue(std::string_view name);
};

class HiveContents {
public:
    HiveContents();

    // Keys are looked up by their path without regard to case. The path must be normalised
    // (NormalisePath).
    const HiveKey* Find(std::string_view path) const;
    HiveKey* Find(std::string_view path);

    // Creates the key and its missing parents; `created` tells whether the key was new.
    HiveKey& Create(std::string_view path, std::string_view className, bool* created);

    // Removes the key and everything below it; the root only loses its values and subkeys.
    // False when the key does not exist.
    bool RemoveTree(std::string_view path);

    // The names of the direct subkeys of a key, in sorted order.
    std::vector<std::string> SubKeyNames(std::string_view path) const;

    // Keeps one value per name (without regard to case) in every key: the first one's place
    // and name with the last one's data. For reading text, where repeats may occur.
    void MergeRepeatedValues();

    const std::map<std::string, HiveKey>& Keys() const { return m_keys; }

private:
    std::map<std::string, HiveKey> m_keys; // by folded path
};

// Drops empty names, so that leading, trailing and doubled separators vanish: the path
// \a\\b\ becomes a\b.
std::string NormalisePath(std::string_view path);

// ASCII lower case, the registry's notion of "without regard to case".
std::string FoldCase(std::string_view text);
bool EqualsFolded(std::string_view a, std::string_view b);

HiveContents ParseHive(std::string_view text);
std::string FormatHive(const HiveContents& contents, std::string_view hiveName);

} // namespace fz::registry
