#include "net/JsonDocument.h"

#include <limits>

namespace veltrano {

// Builds the value tree of one answer without recursion. Scalars and closed
// containers wait on a scratch stack; when a container closes, its children
// move as one block into the final node list, so every container's children
// sit side by side and are reached by index.
class JsonParser final {
public:
    explicit JsonParser(JsonData &data)
        : m_data(data), m_p(data.source.constData()), m_begin(m_p), m_end(m_p + data.source.size())
    {
    }

    bool run();
    QString error() const { return m_error; }
    qsizetype errorOffset() const { return m_errorOffset; }

private:
    struct PendingKey {
        std::uint32_t start = 0;
        std::uint32_t length = 0;
        bool escaped = false;
        bool present = false;
    };
    struct Frame {
        bool object = false;
        std::size_t scratchBegin = 0;
        PendingKey key; // the container's own member name
    };

    bool fail(const char *what)
    {
        m_error = QString::fromLatin1(what);
        m_errorOffset = m_p - m_begin;
        return false;
    }
    void skipWhitespace()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }
    std::uint32_t offset(const char *p) const { return std::uint32_t(p - m_begin); }

    bool scanString(std::uint32_t &start, std::uint32_t &length, bool &escaped);
    bool scanNumber(JsonValue &node);
    bool scanLiteral(const char *word, JsonValue &node);
    void push(JsonValue node, const PendingKey &key);
    void closeContainer();

    JsonData &m_data;
    const char *m_p;
    const char *const m_begin;
    const char *const m_end;
    std::vector<JsonValue> m_scratch;
    std::vector<Frame> m_frames;
    PendingKey m_key;
    QString m_error;
    qsizetype m_errorOffset = -1;
};

bool JsonParser::scanString(std::uint32_t &start, std::uint32_t &length, bool &escaped)
{
    ++m_p; // opening quote
    const char *begin = m_p;
    escaped = false;
    while (m_p != m_end) {
        const char c = *m_p;
        if (c == '"') {
            start = offset(begin);
            length = std::uint32_t(m_p - begin);
            ++m_p;
            return true;
        }
        if (c == '\\') {
            escaped = true;
            if (m_end - m_p < 2)
                break;
            const char kind = m_p[1];
            if (kind == 'u') {
                if (m_end - m_p < 6)
                    break;
                for (int i = 2; i < 6; ++i) {
                    const char h = m_p[i];
                    const bool hex =
                        (h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F');
                    if (!hex) {
                        m_p += i;
                        return fail("invalid \\u escape");
                    }
                }
                m_p += 6;
                continue;
            }
            switch (kind) {
            case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
                m_p += 2;
                continue;
            default:
                ++m_p;
                return fail("invalid escape in string");
            }
        }
        // Raw control characters are kept as they are: a stray tab in a page
        // title should not cost the whole answer.
        ++m_p;
    }
    return fail("unterminated string");
}

bool JsonParser::scanNumber(JsonValue &node)
{
    const char *begin = m_p;
    auto digits = [this] {
        const char *from = m_p;
        while (m_p != m_end && *m_p >= '0' && *m_p <= '9')
            ++m_p;
        return m_p - from;
    };
    if (*m_p == '-')
        ++m_p;
    if (m_p != m_end && *m_p == '0') {
        ++m_p;
    } else if (digits() == 0) {
        return fail("invalid number");
    }
    if (m_p != m_end && *m_p == '.') {
        ++m_p;
        if (digits() == 0)
            return fail("invalid number");
    }
    if (m_p != m_end && (*m_p == 'e' || *m_p == 'E')) {
        ++m_p;
        if (m_p != m_end && (*m_p == '+' || *m_p == '-'))
            ++m_p;
        if (digits() == 0)
            return fail("invalid number");
    }
    node.m_type = JsonValue::Type::Number;
    node.m_start = offset(begin);
    node.m_length = std::uint32_t(m_p - begin);
    return true;
}

bool JsonParser::scanLiteral(const char *word, JsonValue &node)
{
    const char *p = m_p;
    for (const char *w = word; *w; ++w, ++p) {
        if (p == m_end || *p != *w)
            return fail("invalid literal");
    }
    m_p = p;
    node.m_start = offset(p);
    return true;
}

void JsonParser::push(JsonValue node, const PendingKey &key)
{
    node.m_data = &m_data;
    if (key.present) {
        node.m_flags |= JsonValue::HasKey;
        if (key.escaped)
            node.m_flags |= JsonValue::EscapedKey;
        node.m_keyStart = key.start;
        node.m_keyLength = key.length;
    }
    m_scratch.push_back(node);
}

void JsonParser::closeContainer()
{
    const Frame frame = m_frames.back();
    m_frames.pop_back();
    JsonValue node;
    node.m_type = frame.object ? JsonValue::Type::Object : JsonValue::Type::Array;
    node.m_childBegin = std::uint32_t(m_data.nodes.size());
    node.m_childCount = std::uint32_t(m_scratch.size() - frame.scratchBegin);
    m_data.nodes.insert(m_data.nodes.end(), m_scratch.begin() + std::ptrdiff_t(frame.scratchBegin),
                        m_scratch.end());
    m_scratch.resize(frame.scratchBegin);
    push(node, frame.key);
}

bool JsonParser::run()
{
    if (m_end - m_p >= 3 && m_p[0] == '\xEF' && m_p[1] == '\xBB' && m_p[2] == '\xBF')
        m_p += 3; // byte order mark
    skipWhitespace();
    if (m_p == m_end)
        return fail("empty document");
    // Service answers hold roughly one value per dozen bytes; reserving
    // spares the node list most of its regrowth.
    m_data.nodes.reserve(std::size_t(m_end - m_p) / 12 + 1);
    m_scratch.reserve(256);

    enum class Expect { Value, Key, AfterValue };
    Expect expect = Expect::Value;
    for (;;) {
        skipWhitespace();
        if (expect == Expect::Key) {
            if (m_p == m_end || *m_p != '"')
                return fail(m_p == m_end ? "unexpected end" : "expected a member name");
            if (!scanString(m_key.start, m_key.length, m_key.escaped))
                return false;
            m_key.present = true;
            skipWhitespace();
            if (m_p == m_end || *m_p != ':')
                return fail(m_p == m_end ? "unexpected end" : "expected ':'");
            ++m_p;
            expect = Expect::Value;
            continue;
        }

        if (expect == Expect::AfterValue) {
            if (m_frames.empty()) {
                if (m_p != m_end)
                    return fail("unexpected text after the value");
                break;
            }
            if (m_p == m_end)
                return fail("unexpected end");
            const bool object = m_frames.back().object;
            const char c = *m_p;
            if (c == ',') {
                ++m_p;
                expect = object ? Expect::Key : Expect::Value;
            } else if ((object && c == '}') || (!object && c == ']')) {
                ++m_p;
                closeContainer();
            } else {
                return fail(object ? "expected ',' or '}'" : "expected ',' or ']'");
            }
            continue;
        }

        // A value.
        if (m_p == m_end)
            return fail("unexpected end");
        const PendingKey key = (!m_frames.empty() && m_frames.back().object) ? m_key : PendingKey{};
        m_key = {};
        JsonValue node;
        const char c = *m_p;
        if (c == '{' || c == '[') {
            if (m_frames.size() >= std::size_t(JsonDocument::kMaxDepth))
                return fail("nesting too deep");
            ++m_p;
            m_frames.push_back({c == '{', m_scratch.size(), key});
            skipWhitespace();
            if (m_p != m_end && *m_p == (c == '{' ? '}' : ']')) {
                ++m_p;
                closeContainer();
                expect = Expect::AfterValue;
            } else {
                expect = c == '{' ? Expect::Key : Expect::Value;
            }
            continue;
        }
        if (c == '"') {
            bool escaped = false;
            node.m_type = JsonValue::Type::String;
            if (!scanString(node.m_start, node.m_length, escaped))
                return false;
            if (escaped)
                node.m_flags |= JsonValue::EscapedValue;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            if (!scanNumber(node))
                return false;
        } else if (c == 't') {
            node.m_type = JsonValue::Type::Bool;
            node.m_flags |= JsonValue::TrueFlag;
            if (!scanLiteral("true", node))
                return false;
        } else if (c == 'f') {
            node.m_type = JsonValue::Type::Bool;
            if (!scanLiteral("false", node))
                return false;
        } else if (c == 'n') {
            node.m_type = JsonValue::Type::Null;
            if (!scanLiteral("null", node))
                return false;
        } else {
            return fail("unexpected character");
        }
        push(node, key);
        expect = Expect::AfterValue;
    }

    m_data.nodes.push_back(m_scratch.back()); // the root goes last
    return true;
}

JsonDocument JsonDocument::parse(const QByteArray &utf8)
{
    JsonDocument document;
    // Offsets are 32-bit; no service answer comes anywhere near this size.
    if (utf8.size() >= qsizetype(std::numeric_limits<std::int32_t>::max())) {
        document.m_error = QStringLiteral("JSON parse error at byte 0: answer too large");
        document.m_errorOffset = 0;
        return document;
    }
    auto data = std::make_shared<JsonData>();
    data->source = utf8;
    JsonParser parser(*data);
    if (!parser.run()) {
        document.m_errorOffset = parser.errorOffset();
        document.m_error =
            QStringLiteral("JSON parse error at byte %1: %2").arg(parser.errorOffset()).arg(parser.error());
        return document;
    }
    document.m_data = std::move(data);
    return document;
}

const JsonValue &JsonDocument::root() const
{
    static const JsonValue null;
    if (!m_data)
        return null;
    return m_data->nodes.back();
}

} // namespace veltrano
