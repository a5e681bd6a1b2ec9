#include "net/ParseString.h"

namespace veltrano {

namespace {

// Upper-cases the ASCII letters a-z only, so character positions stay the
// same as in the original.
QString foldAsciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - (u'a' - u'A')));
    }
    return out;
}

// 1-based position of needle in haystack at or after from, 0 when absent.
qsizetype findFrom(const QString &haystack, const QString &needle, qsizetype from)
{
    if (from < 1 || from > haystack.size() + 1)
        return 0;
    const qsizetype found = haystack.indexOf(needle, from - 1, Qt::CaseSensitive);
    return found < 0 ? 0 : found + 1;
}

} // namespace

QString parseString(const QString &source, const QString &startMarker, const QString &endMarker,
                    qsizetype &position, qsizetype &limit, bool caseInsensitive)
{
    const QString s = caseInsensitive ? foldAsciiUpper(source) : source;
    const QString a = caseInsensitive ? foldAsciiUpper(startMarker) : startMarker;
    const QString b = caseInsensitive ? foldAsciiUpper(endMarker) : endMarker;

    const qsizetype p = position <= 0 ? 1 : position;
    const qsizetype start = a.isEmpty() ? p : findFrom(s, a, p);
    qsizetype end = 0;
    if (b.isEmpty())
        end = s.size() + 1;
    else if (start != 0)
        end = findFrom(s, b, start + a.size());
    if (limit > 0 && limit < end)
        end = limit;

    if (start == 0 || end == 0) {
        position = p;
        return {};
    }
    position = start;
    limit = end + b.size();
    const qsizetype from = start + a.size(); // first character of the result
    if (end <= from || from > source.size())
        return {};
    return source.mid(from - 1, end - from);
}

QString parseString(const QString &source, const QString &startMarker, const QString &endMarker,
                    bool caseInsensitive)
{
    qsizetype position = 1;
    qsizetype limit = 0;
    return parseString(source, startMarker, endMarker, position, limit, caseInsensitive);
}

} // namespace veltrano
