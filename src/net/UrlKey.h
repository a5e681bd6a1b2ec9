#pragma once

#include <QString>

namespace veltrano {

// The form in which two page addresses are compared when a service's answer
// is matched against the rows of a report. Two addresses with the same key
// name the same page:
// - the scheme and the host are lower-cased, an international host name is
//   written in its ASCII (punycode) form: "https://Пример.РФ/" and
//   "https://xn--e1afmkfd.xn--p1ai/" have one key;
// - the port is dropped when it is the scheme's default (80 for http, 443
//   for https), and the fragment ("#...") is dropped;
// - in the path and the query, percent-escapes take one form: unreserved
//   characters (letters, digits, "-", ".", "_", "~") and non-ASCII
//   characters (UTF-8) are decoded, every other escape stays as %XX with
//   upper-case hex digits, and characters that may not stand raw in an
//   address (blanks, quotes, "<", ">", "{", "|", ...) are escaped;
// - the path and the query keep their letter case: "/Page" and "/page" are
//   different pages.
// The report keeps the address as the user wrote it; the key is only for
// looking up.
class UrlKey final {
public:
    // The key of an address. Text that is not an absolute address (no
    // scheme, a port that is not a number) is its own key, trimmed of
    // blanks. Never fails, whatever the text.
    static QString of(const QString &url);
};

} // namespace veltrano
