#pragma once

#include <QString>
#include <QStringView>

namespace veltrano {

// Whether an imported line is a web address the services can be asked
// about: an http or https address with a host, or a host with a path but no
// scheme ("example.com/contacts/"), which is taken as https. Anything else
// (a sentence, "javascript:...", an HTML tag, "ftp://...") is not.
class WebAddress final {
public:
    enum class Kind {
        Address,           // http:// or https:// with a host: taken as written
        HostWithoutScheme, // "example.com/path": taken as "https://" + the line
        NotWebAddress,
    };

    // `line` is already trimmed of blanks and control characters.
    static Kind classify(QStringView line);
    // The address a line of that kind is imported as.
    static QString withScheme(QStringView line) { return QStringLiteral("https://") + line.toString(); }

private:
    // A host name as people type it: labels of letters (any script), digits
    // and "-", joined by dots, at least one dot, the last label not all
    // digits; an optional ":port".
    static bool isHostName(QStringView host);
};

} // namespace veltrano
