#include "platform/registry/HiveText.h"
#include "platform/text/HexDigit.h"

#include <cstdio>
#include <optional>

namespace fz::registry {
namespace {

constexpr char kSeparator = '\\';
constexpr char kHexDigits[] = "0123456789abcdef";

// The length of the valid UTF-8 sequence that starts at text[0], or 0 when it is not one
// (overlong forms, surrogates and code points above U+10FFFF are not valid).
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    std::uint32_t codePoint = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void AppendHexByte(std::string& out, unsigned char value) {
    out += kHexDigits[value >> 4];
    out += kHexDigits[value & 15];
}

std::optional<unsigned char> HexByte(std::string_view text) {
    if (text.size() < 2)
        return std::nullopt;
    const int high = HexDigitValue(text[0]);
    const int low = HexDigitValue(text[1]);
    if (high < 0 || low < 0)
        return std::nullopt;
    return static_cast<unsigned char>(high * 16 + low);
}

// Appends bytes, writing `escape` for each one that `needsEscape` selects or that is not part
// of valid UTF-8; valid multi-byte sequences are copied.
template <class NeedsEscape, class Escape>
void AppendEscaped(std::string& out, std::string_view text, NeedsEscape needsEscape,
                   Escape escape) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0 || (length == 1 && needsEscape(c, i))) {
            escape(out, c);
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    AppendEscaped(
        out, text,
        [](unsigned char c, std::size_t) { return IsControl(c) || c == '"' || c == '\\'; },
        [](std::string& o, unsigned char c) {
            if (c == '"' || c == '\\') {
                o += '\\';
                o += static_cast<char>(c);
            } else {
                o += "\\x";
                AppendHexByte(o, c);
            }
        });
    out += '"';
}

void AppendPathName(std::string& out, std::string_view name) {
    AppendEscaped(
        out, name,
        [&](unsigned char c, std::size_t i) {
            return IsControl(c) || c == '%' || c == '[' || c == ']' || c == '"' ||
                   (c == ' ' && (i == 0 || i + 1 == name.size()));
        },
        [](std::string& o, unsigned char c) {
            o += '%';
            AppendHexByte(o, c);
        });
}

// A small cursor over one line.
class LineReader {
public:
    explicit LineReader(std::string_view line)
        : m_rest(line) {}

    bool AtEnd() const { return m_rest.empty(); }
    bool Take(std::string_view prefix) {
        if (m_rest.substr(0, prefix.size()) != prefix)
            return false;
        m_rest.remove_prefix(prefix.size());
        return true;
    }
    void SkipSpaces() {
        while (!m_rest.empty() && (m_rest.front() == ' ' || m_rest.front() == '\t'))
            m_rest.remove_prefix(1);
    }

    // A quoted text with its escapes.
    std::optional<std::string> Quoted() {
        if (!Take("\""))
            return std::nullopt;
        std::string text;
        while (!m_rest.empty()) {
            const char c = m_rest.front();
            m_rest.remove_prefix(1);
            if (c == '"')
                return text;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (m_rest.empty())
                return std::nullopt;
            const char e = m_rest.front();
            m_rest.remove_prefix(1);
            switch (e) {
            case '\\':
            case '"':
                text += e;
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'x': {
                auto value = HexByte(m_rest);
                if (!value)
                    return std::nullopt;
                text += static_cast<char>(*value);
                m_rest.remove_prefix(2);
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // Comma-separated hex bytes up to the end of the line ("" is no bytes).
    std::optional<std::string> HexList() {
        std::string bytes;
        SkipSpaces();
        if (AtEnd())
            return bytes;
        for (;;) {
            SkipSpaces();
            auto value = HexByte(m_rest);
            if (!value)
                return std::nullopt;
            bytes += static_cast<char>(*value);
            m_rest.remove_prefix(2);
            SkipSpaces();
            if (AtEnd())
                return bytes;
            if (!Take(","))
                return std::nullopt;
        }
    }

    std::optional<std::uint32_t> Decimal() {
        std::uint64_t value = 0;
        std::size_t digits = 0;
        while (!m_rest.empty() && m_rest.front() >= '0' && m_rest.front() <= '9' && digits < 10) {
            value = value * 10 + static_cast<std::uint64_t>(m_rest.front() - '0');
            m_rest.remove_prefix(1);
            ++digits;
        }
        if (digits == 0 || value > 0xFFFFFFFFu)
            return std::nullopt;
        return static_cast<std::uint32_t>(value);
    }

    std::optional<std::uint32_t> HexNumber() {
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (!m_rest.empty() && HexDigitValue(m_rest.front()) >= 0) {
            if (++digits > 8)
                return std::nullopt;
            value = (value << 4) | static_cast<std::uint32_t>(HexDigitValue(m_rest.front()));
            m_rest.remove_prefix(1);
        }
        if (digits == 0)
            return std::nullopt;
        return value;
    }

    std::string_view Rest() const { return m_rest; }

private:
    std::string_view m_rest;
};

// "[path]" with an optional ` class="..."`; the path is returned decoded and normalised.
std::optional<std::pair<std::string, std::string>> ParseSection(std::string_view line) {
    const std::size_t close = line.find(']');
    if (line.front() != '[' || close == std::string_view::npos)
        return std::nullopt;
    const std::string_view encoded = line.substr(1, close - 1);
    std::string path;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            auto value = HexByte(encoded.substr(i + 1));
            if (!value)
                return std::nullopt;
            path += static_cast<char>(*value);
            i += 2;
        } else if (IsControl(static_cast<unsigned char>(c)) || c == '[' || c == '"') {
            return std::nullopt;
        } else {
            path += c;
        }
    }
    LineReader rest(line.substr(close + 1));
    rest.SkipSpaces();
    std::string className;
    if (!rest.AtEnd()) {
        if (!rest.Take("class="))
            return std::nullopt;
        auto quoted = rest.Quoted();
        if (!quoted)
            return std::nullopt;
        className = std::move(*quoted);
        rest.SkipSpaces();
        if (!rest.AtEnd())
            return std::nullopt;
    }
    return std::pair{NormalisePath(path), std::move(className)};
}

std::optional<HiveValue> ParseValue(std::string_view line) {
    LineReader reader(line);
    HiveValue value;
    if (!reader.Take("@")) {
        auto name = reader.Quoted();
        if (!name)
            return std::nullopt;
        value.name = std::move(*name);
    }
    reader.SkipSpaces();
    if (!reader.Take("="))
        return std::nullopt;
    reader.SkipSpaces();
    if (reader.Take("dword:")) {
        auto number = reader.HexNumber();
        if (!number)
            return std::nullopt;
        value.type = ValueType::Dword;
        for (int shift = 0; shift < 32; shift += 8)
            value.data += static_cast<char>((*number >> shift) & 0xFF);
    } else if (reader.Take("sz:")) {
        auto text = reader.Quoted();
        if (!text)
            return std::nullopt;
        value.type = ValueType::String;
        value.data = std::move(*text);
    } else if (reader.Take("hex:")) {
        auto bytes = reader.HexList();
        if (!bytes)
            return std::nullopt;
        value.type = ValueType::Binary;
        value.data = std::move(*bytes);
    } else if (reader.Take("hex(")) {
        auto type = reader.Decimal();
        if (!type || !reader.Take("):"))
            return std::nullopt;
        auto bytes = reader.HexList();
        if (!bytes)
            return std::nullopt;
        value.type = static_cast<ValueType>(*type);
        value.data = std::move(*bytes);
    } else {
        return std::nullopt;
    }
    reader.SkipSpaces();
    if (!reader.AtEnd())
        return std::nullopt;
    return value;
}

void AppendValue(std::string& out, const HiveValue& value) {
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    const auto appendHexList = [&] {
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            if (i > 0)
                out += ',';
            AppendHexByte(out, static_cast<unsigned char>(value.data[i]));
        }
    };
    switch (value.type) {
    case ValueType::Dword:
        if (value.data.size() == 4) {
            std::uint32_t number = 0;
            for (int i = 3; i >= 0; --i)
                number = (number << 8) | static_cast<unsigned char>(value.data[i]);
            char digits[16];
            std::snprintf(digits, sizeof digits, "%08x", number);
            out += "dword:";
            out += digits;
            break;
        }
        out += "hex(4):"; // a DWORD of another size can only come from a bad caller
        appendHexList();
        break;
    case ValueType::String:
        out += "sz:";
        AppendQuoted(out, value.data);
        break;
    case ValueType::Binary:
        out += "hex:";
        appendHexList();
        break;
    default:
        out += "hex(" + std::to_string(static_cast<std::uint32_t>(value.type)) + "):";
        appendHexList();
        break;
    }
    out += '\n';
}

void AppendDamagedLines(std::string& out, const HiveKey& key) {
    for (const std::string& line : key.damagedLines) {
        out += line;
        out += '\n';
    }
}

} // namespace

HiveContents ParseHive(std::string_view text) {
    HiveContents contents;
    HiveKey* owner = contents.Find(""); // where damaged lines go: the last section that loaded
    HiveKey* current = nullptr;         // where value lines go: null below a damaged section
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto section = ParseSection(line);
            current = section ? contents.Create(section->first, section->second, nullptr) : nullptr;
            if (!current) {
                owner->damagedLines.emplace_back(line);
                continue;
            }
            if (current->className.empty())
                current->className = section->second;
            owner = current;
            continue;
        }
        std::optional<HiveValue> value;
        if (current)
            value = ParseValue(line);
        if (value)
            current->values.push_back(std::move(*value));
        else
            owner->damagedLines.emplace_back(line);
    }
    contents.MergeRepeatedValues();
    return contents;
}

std::string FormatHive(const HiveContents& contents, std::string_view hiveName) {
    std::string out = "# framzel settings hive \"" + std::string(hiveName) +
                      "\": keys in [brackets], one value per line.\n"
                      "# Format: platform/registry/HiveText.h. Changes go through the "
                      "registry's lock; edit only while no framzel process runs.\n"
                      "# Lines that do not parse are not read as settings; they are kept as "
                      "they stand, at the end of their key's section.\n";
    for (const auto& [folded, key] : contents.Keys()) {
        if (key.path.empty()) {
            // The root's damaged lines stand above the first section, where they were found.
            if (!key.damagedLines.empty())
                out += '\n';
            AppendDamagedLines(out, key);
            if (key.values.empty() && key.className.empty())
                continue;
        }
        out += "\n[";
        std::size_t start = 0;
        while (start <= key.path.size() && !key.path.empty()) {
            std::size_t end = key.path.find(kSeparator, start);
            if (end == std::string::npos)
                end = key.path.size();
            if (start > 0)
                out += kSeparator;
            AppendPathName(out, std::string_view(key.path).substr(start, end - start));
            start = end + 1;
        }
        out += ']';
        if (!key.className.empty()) {
            out += " class=";
            AppendQuoted(out, key.className);
        }
        out += '\n';
        for (const HiveValue& value : key.values)
            AppendValue(out, value);
        if (!key.path.empty())
            AppendDamagedLines(out, key);
    }
    return out;
}

} // namespace fz::registry
