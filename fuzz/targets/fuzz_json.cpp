// The JSON reader and the texts read from it: every answer of every service
// goes through these before anything else looks at it.
//
// Besides "no crash, no sanitizer report" the target checks:
// - every value of a parsed document can be read as text, number, key and
//   member, and a container's first member is found under its own name;
// - the reader agrees with a second, independent JSON reader (nlohmann) on
//   plain ASCII input: both accept or both refuse, with the same kind of top
//   value (except where this reader is more lenient on purpose: nesting
//   beyond its limit is refused, numbers beyond a double and lone surrogate
//   escapes are taken);
// - the marker extraction never returns text that is not in its source.

#include "FuzzCheck.h"

#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/ParseString.h"

#include <nlohmann/json.hpp>

#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace veltrano;

namespace {

bool isPrintableAscii(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

JsonValue::Type typeOf(const nlohmann::json &value)
{
    switch (value.type()) {
    case nlohmann::json::value_t::object:
        return JsonValue::Type::Object;
    case nlohmann::json::value_t::array:
        return JsonValue::Type::Array;
    case nlohmann::json::value_t::string:
        return JsonValue::Type::String;
    case nlohmann::json::value_t::boolean:
        return JsonValue::Type::Bool;
    case nlohmann::json::value_t::null:
        return JsonValue::Type::Null;
    default:
        return JsonValue::Type::Number;
    }
}

void walk(const JsonDocument &doc)
{
    static const QLocale c = QLocale::c();
    static const QLocale comma(QLocale::Russian, QLocale::Russia);
    std::vector<const JsonValue *> pending{&doc.root()};
    while (!pending.empty()) {
        const JsonValue *value = pending.back();
        pending.pop_back();
        value->text(c);
        value->text(comma);
        value->key();
        bool ok = false;
        value->toDouble(&ok);
        if (value->isNumber()) {
            FUZZ_CHECK(!value->numberToken().isEmpty());
            // A number the reader took is a JSON number token: its text is
            // never the token handed back unread.
            NumberText::generalFromToken(value->numberToken(), comma);
        }
        FUZZ_CHECK(value->at(-1).isNull() && value->at(value->size()).isNull());
        if (value->isObject() && value->size() > 0) {
            const JsonValue &first = value->at(0);
            const QString name = first.key();
            if (!name.contains(QChar::ReplacementCharacter))
                FUZZ_CHECK(value->member(name) == &first);
        }
        for (const JsonValue &child : *value)
            pending.push_back(&child);
    }
}

void compareWithSecondReader(const QByteArray &bytes, const JsonDocument &doc)
{
    // Raw control characters and bytes beyond ASCII in strings are taken by
    // this reader on purpose and refused by the other; compare on the rest.
    if (!isPrintableAscii(bytes))
        return;
    nlohmann::json other;
    try {
        other = nlohmann::json::parse(bytes.constData(), bytes.constData() + bytes.size());
    } catch (const nlohmann::json::parse_error &error) {
        // A lone surrogate escape ("\udc00") is read as U+FFFD here on
        // purpose; the other reader refuses it.
        if (std::strstr(error.what(), "surrogate"))
            return;
        FUZZ_CHECK(!doc.isValid());
        return;
    } catch (const nlohmann::json::out_of_range &) {
        // A number beyond a double (1e999): kept as its token here.
        return;
    }
    if (!doc.isValid()) {
        FUZZ_CHECK(doc.errorString().endsWith(QLatin1String("nesting too deep")));
        return;
    }
    FUZZ_CHECK(typeOf(other) == doc.root().type());
}

void extractMarkers(const QByteArray &bytes)
{
    // source, start marker and end marker separated by "|", then the
    // general form's position and limit from the first two bytes.
    const QList<QByteArray> parts = bytes.split('|');
    if (parts.size() < 3)
        return;
    const QString source = QString::fromUtf8(parts[0]);
    const QString start = QString::fromUtf8(parts[1]);
    const QString end = QString::fromUtf8(parts[2]);
    qsizetype position = bytes.size() > 0 ? qsizetype(static_cast<signed char>(bytes[0])) : 1;
    qsizetype limit = bytes.size() > 1 ? qsizetype(static_cast<signed char>(bytes[1])) : 0;
    const QString found = parseString(source, start, end, position, limit, bytes.size() > 2 && (bytes[2] & 1));
    if (!found.isEmpty())
        FUZZ_CHECK(source.contains(found));
    const QString plain = parseString(source, start, end);
    if (!plain.isEmpty())
        FUZZ_CHECK(source.contains(plain));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const JsonDocument doc = JsonDocument::parse(bytes);
    if (doc.isValid())
        walk(doc);
    else
        FUZZ_CHECK(!doc.errorString().isEmpty() && doc.errorOffset() >= 0 && doc.errorOffset() <= bytes.size());
    compareWithSecondReader(bytes, doc);
    NumberText::fromJsonToken(QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), 64)));
    extractMarkers(bytes);
    return 0;
}
