#include "tests/play/support/JsonValue.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fz::test {

class JsonParser {
public:
    explicit JsonParser(const std::string& text)
        : m_text(text) {}

    bool Value(JsonValue& out) {
        Skip();
        if (m_pos >= m_text.size())
            return false;
        const char c = m_text[m_pos];
        if (c == '{')
            return Object(out);
        if (c == '[')
            return Array(out);
        if (c == '"') {
            out.m_kind = JsonValue::Kind::String;
            return String(out.m_string);
        }
        if (Literal("true")) {
            out.m_kind = JsonValue::Kind::Bool;
            out.m_number = 1;
            return true;
        }
        if (Literal("false")) {
            out.m_kind = JsonValue::Kind::Bool;
            return true;
        }
        if (Literal("null"))
            return true;
        const char* begin = m_text.c_str() + m_pos;
        char* end = nullptr;
        out.m_number = std::strtod(begin, &end);
        if (end == begin)
            return false;
        out.m_kind = JsonValue::Kind::Number;
        m_pos += static_cast<std::size_t>(end - begin);
        return true;
    }

    bool AtEnd() {
        Skip();
        return m_pos == m_text.size();
    }

private:
    void Skip() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\n' ||
                                         m_text[m_pos] == '\r' || m_text[m_pos] == '\t'))
            ++m_pos;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0)
            return false;
        m_pos += w.size();
        return true;
    }
    bool String(std::string& out) {
        ++m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos++];
            if (c == '\\' && m_pos < m_text.size()) {
                c = m_text[m_pos++];
                if (c == 'u') { // the tables are ASCII; keep the escape's position only
                    m_pos += 4;
                    c = '?';
                } else if (c == 'n') {
                    c = '\n';
                } else if (c == 't') {
                    c = '\t';
                }
            }
            out.push_back(c);
        }
        if (m_pos >= m_text.size())
            return false;
        ++m_pos;
        return true;
    }
    bool Array(JsonValue& out) {
        out.m_kind = JsonValue::Kind::Array;
        ++m_pos;
        Skip();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            JsonValue element;
            if (!Value(element))
                return false;
            out.m_array.push_back(std::move(element));
            Skip();
            if (m_pos >= m_text.size())
                return false;
            if (m_text[m_pos++] == ']')
                return true;
        }
    }
    bool Object(JsonValue& out) {
        out.m_kind = JsonValue::Kind::Object;
        ++m_pos;
        Skip();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            Skip();
            std::string key;
            if (m_pos >= m_text.size() || m_text[m_pos] != '"' || !String(key))
                return false;
            Skip();
            if (m_pos >= m_text.size() || m_text[m_pos++] != ':')
                return false;
            JsonValue member;
            if (!Value(member))
                return false;
            out.m_object[key] = std::move(member);
            Skip();
            if (m_pos >= m_text.size())
                return false;
            if (m_text[m_pos++] == '}')
                return true;
        }
    }

    const std::string& m_text;
    std::size_t m_pos = 0;
};

JsonValue JsonValue::Parse(const std::string& text) {
    JsonParser parser(text);
    JsonValue value;
    if (!parser.Value(value) || !parser.AtEnd())
        return {};
    return value;
}

JsonValue JsonValue::ParseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
    static const JsonValue kNull;
    const auto it = m_object.find(key);
    return it == m_object.end() ? kNull : it->second;
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
    static const JsonValue kNull;
    return index < m_array.size() ? m_array[index] : kNull;
}

} // namespace fz::test
