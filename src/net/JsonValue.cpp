#include "net/JsonValue.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"

#include <charconv>

namespace veltrano {

namespace {

const JsonValue &nullValue()
{
    static const JsonValue value;
    return value;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the four hex digits of a \u escape at p (the parser has checked them).
char16_t readHex4(const char *p)
{
    return char16_t((hexValue(p[0]) << 12) | (hexValue(p[1]) << 8) | (hexValue(p[2]) << 4) | hexValue(p[3]));
}

// Raw UTF-8 as text. QString::fromUtf8 takes bytes EF BB BF at the start for
// a byte-order mark and drops them; inside a JSON string they are the
// character U+FEFF the service wrote, and stay.
QString utf8Text(const char *p, qsizetype length)
{
    qsizetype marks = 0;
    while (length - 3 * marks >= 3 && p[3 * marks] == '\xEF' && p[3 * marks + 1] == '\xBB' &&
           p[3 * marks + 2] == '\xBF')
        ++marks;
    if (marks == 0)
        return QString::fromUtf8(p, length);
    return QString(marks, QChar(0xFEFF)) + QString::fromUtf8(p + 3 * marks, length - 3 * marks);
}

// The characters of a JSON string body (the bytes between its quotes). Raw
// bytes are UTF-8, invalid sequences become U+FFFD; \u escapes give their
// characters, a surrogate without its partner gives U+FFFD.
QString decodeString(const char *p, qsizetype length, bool escaped)
{
    if (!escaped)
        return utf8Text(p, length);

    QString out;
    out.reserve(length);
    const char *end = p + length;
    const char *run = p;
    auto flushRun = [&](const char *upTo) {
        if (upTo > run)
            out += utf8Text(run, upTo - run);
    };
    while (p < end) {
        if (*p != '\\') {
            ++p;
            continue;
        }
        flushRun(p);
        const char kind = p[1];
        p += 2;
        switch (kind) {
        case '"': out += QLatin1Char('"'); break;
        case '\\': out += QLatin1Char('\\'); break;
        case '/': out += QLatin1Char('/'); break;
        case 'b': out += QLatin1Char('\b'); break;
        case 'f': out += QLatin1Char('\f'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'u': {
            const char16_t unit = readHex4(p);
            p += 4;
            if (QChar::isHighSurrogate(unit)) {
                if (end - p >= 6 && p[0] == '\\' && p[1] == 'u') {
                    const char16_t low = readHex4(p + 2);
                    if (QChar::isLowSurrogate(low)) {
                        out += QChar(unit);
                        out += QChar(low);
                        p += 6;
                        break;
                    }
                }
                out += QChar(QChar::ReplacementCharacter);
            } else if (QChar::isLowSurrogate(unit)) {
                out += QChar(QChar::ReplacementCharacter);
            } else {
                out += QChar(unit);
            }
            break;
        }
        default: // the parser admits no other escape
            out += QChar(QChar::ReplacementCharacter);
            break;
        }
        run = p;
    }
    flushRun(end);
    return out;
}

} // namespace

QString JsonValue::text(const QLocale &locale) const
{
    switch (m_type) {
    case Type::String:
        return decodeString(m_data->source.constData() + m_start, m_length, m_flags & EscapedValue);
    case Type::Number:
        return NumberText::fromJsonToken(numberToken(), locale);
    case Type::Bool:
        return (m_flags & TrueFlag) ? QStringLiteral("true") : QStringLiteral("false");
    case Type::Null:
    case Type::Array:
    case Type::Object:
        break;
    }
    return {};
}

QByteArrayView JsonValue::numberToken() const
{
    if (m_type != Type::Number)
        return {};
    return QByteArrayView(m_data->source.constData() + m_start, m_length);
}

double JsonValue::toDouble(bool *ok) const
{
    double value = 0;
    bool good = false;
    if (m_type == Type::Number) {
        const char *begin = m_data->source.constData() + m_start;
        const auto result = std::from_chars(begin, begin + m_length, value);
        good = result.ec == std::errc() && result.ptr == begin + m_length;
        if (!good)
            value = 0;
    }
    if (ok)
        *ok = good;
    return value;
}

const JsonValue &JsonValue::at(qsizetype index) const
{
    if (index < 0 || index >= size())
        return nullValue();
    return m_data->nodes[m_childBegin + std::size_t(index)];
}

const JsonValue *JsonValue::begin() const
{
    if (size() == 0)
        return &nullValue();
    return m_data->nodes.data() + m_childBegin;
}

QString JsonValue::key() const
{
    if (!(m_flags & HasKey))
        return {};
    return decodeString(m_data->source.constData() + m_keyStart, m_keyLength, m_flags & EscapedKey);
}

bool JsonValue::keyEquals(QAnyStringView name) const
{
    if (m_flags & EscapedKey)
        return QAnyStringView::equal(QStringView(key()), name);
    const QUtf8StringView raw(m_data->source.constData() + m_keyStart, qsizetype(m_keyLength));
    return QAnyStringView::equal(raw, name);
}

const JsonValue *JsonValue::member(QAnyStringView name) const
{
    if (!isObject())
        return nullptr;
    for (const JsonValue &child : *this) {
        if (child.keyEquals(name))
            return &child;
    }
    return nullptr;
}

const JsonValue &JsonValue::requireMember(QAnyStringView name) const
{
    if (const JsonValue *value = member(name))
        return *value;
    throw valueNotFound(name.toString());
}

QString JsonValue::memberText(QAnyStringView name, const QLocale &locale) const
{
    return requireMember(name).text(locale);
}

} // namespace veltrano
