#pragma once

#include <QAnyStringView>
#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <cstdint>

namespace veltrano {

struct JsonData;

// One value of a parsed JSON answer (see JsonDocument). Objects keep their
// members in the order of the answer; numbers keep their original token,
// because the text a number shows depends on how the service wrote it.
// A value is only valid while a JsonDocument that holds it is alive.
class JsonValue final {
public:
    enum class Type : std::uint8_t { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;

    Type type() const { return m_type; }
    bool isNull() const { return m_type == Type::Null; }
    bool isBool() const { return m_type == Type::Bool; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isString() const { return m_type == Type::String; }
    bool isArray() const { return m_type == Type::Array; }
    bool isObject() const { return m_type == Type::Object; }

    // The JSON member text of a value:
    //   string  -> its characters (escapes resolved; invalid UTF-8 and lone
    //              surrogates become U+FFFD)
    //   number  -> NumberText::fromJsonToken of its token, in the locale
    //   true    -> "true", false -> "false" (the words as the answer wrote
    //              them; callers compare against them)
    //   null, object, array -> ""
    QString text(const QLocale &locale = QLocale()) const;

    bool toBool() const { return m_type == Type::Bool && (m_flags & TrueFlag); }
    // A number's value; false in *ok (and 0) for anything but a number that
    // fits a double.
    double toDouble(bool *ok = nullptr) const;
    // A number's token as written in the answer; empty for other values.
    QByteArrayView numberToken() const;

    // Arrays: the elements; objects: the member values in the order of the
    // answer. Empty for scalars.
    qsizetype size() const { return isArray() || isObject() ? qsizetype(m_childCount) : 0; }
    const JsonValue &at(qsizetype index) const;
    const JsonValue *begin() const;
    const JsonValue *end() const { return begin() + size(); }

    // The member name when this value is a member of an object; "" otherwise.
    QString key() const;

    // The first member of that name, or nullptr when this is not an object or
    // has no such member.
    const JsonValue *member(QAnyStringView name) const;
    // The member, or VeltranoError "Value '<name>' not found".
    const JsonValue &requireMember(QAnyStringView name) const;
    // The member's text, or VeltranoError "Value '<name>' not found".
    QString memberText(QAnyStringView name, const QLocale &locale = QLocale()) const;

private:
    friend class JsonParser;

    enum Flag : std::uint8_t { TrueFlag = 1, EscapedValue = 2, EscapedKey = 4, HasKey = 8 };

    bool keyEquals(QAnyStringView name) const;

    const JsonData *m_data = nullptr;
    std::uint32_t m_start = 0;  // strings: first byte after the quote; numbers: the token
    std::uint32_t m_length = 0;
    std::uint32_t m_keyStart = 0;
    std::uint32_t m_keyLength = 0;
    std::uint32_t m_childBegin = 0; // containers: index of the first child in JsonData::nodes
    std::uint32_t m_childCount = 0;
    Type m_type = Type::Null;
    std::uint8_t m_flags = 0;
};

} // namespace veltrano
