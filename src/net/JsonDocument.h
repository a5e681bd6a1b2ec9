#pragma once

#include "net/JsonValue.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace veltrano {

// Storage of a parsed answer: the answer's bytes (strings and number tokens
// are read from them on demand) and every value, the children of each
// container side by side.
struct JsonData {
    QByteArray source;
    std::vector<JsonValue> nodes;
};

// A parsed JSON answer. Parsing never throws and never recurses: malformed,
// truncated, empty, non-JSON or too deeply nested input gives an invalid
// document with an error text. Copies share the parsed data.
class JsonDocument final {
public:
    static constexpr int kMaxDepth = 1000;

    JsonDocument() = default;
    static JsonDocument parse(const QByteArray &utf8);
    static JsonDocument parse(const QString &text) { return parse(text.toUtf8()); }
    static JsonDocument parse(const char *utf8) { return parse(QByteArray(utf8)); }

    bool isValid() const { return m_data != nullptr; }
    // "JSON parse error at byte <offset>: <what>", empty when valid.
    const QString &errorString() const { return m_error; }
    qsizetype errorOffset() const { return m_errorOffset; }

    // The top-level value; a null value when the document is invalid.
    const JsonValue &root() const;

private:
    std::shared_ptr<const JsonData> m_data;
    QString m_error;
    qsizetype m_errorOffset = -1;
};

} // namespace veltrano
