#pragma once

// A small JSON reader for the standards' tables in the tests (objects, arrays, numbers, strings,
// true, false, null). A malformed document gives a null value.

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fz::test {

class JsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    static JsonValue Parse(const std::string& text);
    static JsonValue ParseFile(const std::string& path);

    Kind GetKind() const { return m_kind; }
    bool IsNull() const { return m_kind == Kind::Null; }
    double Number() const { return m_number; }
    int Int() const { return static_cast<int>(m_number); }
    const std::string& String() const { return m_string; }
    // Members and elements; a missing key or index gives a null value.
    const JsonValue& operator[](const std::string& key) const;
    const JsonValue& operator[](std::size_t index) const;
    std::size_t Size() const { return m_kind == Kind::Array ? m_array.size() : m_object.size(); }

private:
    friend class JsonParser;
    Kind m_kind = Kind::Null;
    double m_number = 0.0;
    std::string m_string;
    std::vector<JsonValue> m_array;
    std::map<std::string, JsonValue> m_object;
};

} // namespace fz::test
