#include "net/UrlKey.h"

#include <QStringView>
#include <QUrl>
#include <QVarLengthArray>

#include <algorithm>

namespace veltrano {

namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

bool isUpperHex(char16_t c)
{
    return isDigit(c) || (c >= u'A' && c <= u'F');
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Letters, digits, "-", ".", "_", "~": the same whether escaped or not.
bool isUnreserved(char16_t c)
{
    return isAsciiLetter(c) || isDigit(c) || c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

// ASCII characters that may not stand raw in an address: controls, the
// blank and the characters browsers always escape.
bool mustEscape(char16_t c)
{
    switch (c) {
    case u'"':
    case u'<':
    case u'>':
    case u'\\':
    case u'^':
    case u'`':
    case u'{':
    case u'|':
    case u'}':
        return true;
    default:
        return c <= 0x20 || c == 0x7F;
    }
}

void appendEscape(QString &out, unsigned char byte)
{
    out += QLatin1Char('%');
    out += QLatin1Char(kUpperHex[byte >> 4]);
    out += QLatin1Char(kUpperHex[byte & 0xF]);
}

// Non-ASCII blanks and control characters stay escaped like their ASCII
// kin: an address never shows them raw, and a key never ends in a blank.
bool staysEscaped(char32_t codePoint)
{
    return QChar::isSpace(codePoint) || QChar::category(codePoint) == QChar::Other_Control;
}

void appendUtf8Escapes(QString &out, char32_t codePoint)
{
    const char32_t ucs4[] = {codePoint};
    for (const char byte : QString::fromUcs4(ucs4, 1).toUtf8())
        appendEscape(out, static_cast<unsigned char>(byte));
}

// The length of the well-formed UTF-8 sequence at bytes[0] (2 to 4) with its
// code point, or 0 when none starts there (a stray byte, an overlong form, a
// surrogate, a value past U+10FFFF).
int utf8Sequence(const unsigned char *bytes, qsizetype available, char32_t &codePoint)
{
    const unsigned char lead = bytes[0];
    int length;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((bytes[k] & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (bytes[k] & 0x3F);
    }
    if (length == 3 && (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF)))
        return 0;
    if (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF))
        return 0;
    return length;
}

// A run of escaped bytes in its one form: unreserved characters and
// well-formed UTF-8 sequences decoded, every other byte as %XX.
void appendEscapedBytes(QString &out, const unsigned char *bytes, qsizetype size)
{
    for (qsizetype k = 0; k < size;) {
        const unsigned char byte = bytes[k];
        if (byte < 0x80) {
            if (isUnreserved(byte))
                out += QLatin1Char(char(byte));
            else
                appendEscape(out, byte);
            ++k;
            continue;
        }
        char32_t codePoint = 0;
        const int length = utf8Sequence(bytes + k, size - k, codePoint);
        if (length == 0) {
            appendEscape(out, byte);
            ++k;
            continue;
        }
        if (staysEscaped(codePoint)) {
            for (int b = 0; b < length; ++b)
                appendEscape(out, bytes[k + b]);
        } else if (codePoint > 0xFFFF) {
            out += QChar(QChar::highSurrogate(codePoint));
            out += QChar(QChar::lowSurrogate(codePoint));
        } else {
            out += QChar(char16_t(codePoint));
        }
        k += length;
    }
}

// Path, query or user name with their escapes in the one form; letter case
// and every raw delimiter ("/", "?", "=", "&", "+", ...) stay as written.
void appendCanonicalEscapes(QString &out, QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        if (c == u'%') {
            QVarLengthArray<unsigned char, 64> bytes;
            qsizetype j = i;
            while (j + 2 < n && text[j] == u'%') {
                const int high = hexValue(text[j + 1].unicode());
                const int low = hexValue(text[j + 2].unicode());
                if (high < 0 || low < 0)
                    break;
                bytes.append(static_cast<unsigned char>(high * 16 + low));
                j += 3;
            }
            if (bytes.isEmpty()) {
                out += QLatin1String("%25"); // a lone "%" is a percent sign
                ++i;
            } else {
                appendEscapedBytes(out, bytes.constData(), bytes.size());
                i = j;
            }
            continue;
        }
        if (c < 0x80) {
            if (mustEscape(c))
                appendEscape(out, static_cast<unsigned char>(c));
            else
                out += QChar(c);
        } else if (staysEscaped(c)) { // no blank or control character is a surrogate
            appendUtf8Escapes(out, c);
        } else {
            out += QChar(c); // every other character as it is, lone surrogates too
        }
        ++i;
    }
}

// An international name, raw or escaped: its ASCII form, as the services
// list it. (Blanks and the like end here too, and stay escaped.)
void appendInternationalHost(QString &out, QStringView host)
{
    QString spelling;
    appendCanonicalEscapes(spelling, host);
    QString name;
    for (qsizetype i = 0; i < spelling.size();) {
        QByteArray utf8; // the escapes left are "%XX" with upper-case hex
        for (; i + 2 < spelling.size() && spelling[i] == u'%'; i += 3)
            utf8 += char(hexValue(spelling[i + 1].unicode()) * 16 + hexValue(spelling[i + 2].unicode()));
        if (utf8.isEmpty())
            name += spelling[i++];
        else
            name += QString::fromUtf8(utf8);
    }
    const auto asciiForm = [](const QString &unicodeName) {
        const QString ace = QString::fromLatin1(QUrl::toAce(unicodeName)).toLower();
        const bool usable = !ace.isEmpty() && std::all_of(ace.cbegin(), ace.cend(), [](QChar c) {
            return isUnreserved(c.unicode()) && !(c >= u'A' && c <= u'Z');
        });
        return usable ? ace : QString();
    };
    // A name refused as written may be a name once lower-cased (Georgian
    // capitals, for one), and its lower-case spelling, the fallback below,
    // would then get the ASCII form: without this the key would not be its
    // own key.
    QString ace = asciiForm(name);
    if (ace.isEmpty())
        ace = asciiForm(name.toLower());
    if (!ace.isEmpty()) {
        out += ace;
        return;
    }
    // Not a valid domain name: the spelling, lower-cased, with its escapes
    // in their one form, so that it is still one key for one name.
    for (qsizetype i = 0; i < spelling.size(); ++i) {
        if (spelling[i] == u'%' && i + 2 < spelling.size()) {
            out += spelling.sliced(i, 3);
            i += 2;
        } else {
            out += spelling[i].toLower();
        }
    }
}

void appendHost(QString &out, QStringView host)
{
    bool plainAscii = true;
    for (QChar c : host) {
        if (c.unicode() >= 0x80 || c == u'%' || mustEscape(c.unicode())) {
            plainAscii = false;
            break;
        }
    }
    if (plainAscii) {
        for (QChar c : host)
            out += QChar(asciiLower(c.unicode()));
        return;
    }
    // The rows of one report nearly always share their host, so the last
    // international host's key is kept for the next address.
    thread_local QString lastHost;
    thread_local QString lastHostKey;
    if (host == lastHost) {
        out += lastHostKey;
        return;
    }
    const qsizetype keyStart = out.size();
    appendInternationalHost(out, host);
    lastHost = host.toString();
    lastHostKey = out.sliced(keyStart);
}

// "//authority": user, host and port (left out when it is defaultPort).
// False when the port is not a number or a host name holds a colon.
bool appendAuthority(QString &out, QStringView defaultPort, QStringView authority)
{
    const qsizetype at = authority.lastIndexOf(u'@');
    const QStringView hostAndPort = at >= 0 ? authority.sliced(at + 1) : authority;
    QStringView host = hostAndPort;
    QStringView port;
    if (hostAndPort.startsWith(u'[')) { // an IPv6 address
        const qsizetype close = hostAndPort.indexOf(u']');
        if (close < 0)
            return false;
        host = hostAndPort.first(close + 1);
        const QStringView after = hostAndPort.sliced(close + 1);
        if (!after.isEmpty()) {
            if (after[0] != u':')
                return false;
            port = after.sliced(1);
        }
    } else if (const qsizetype colon = hostAndPort.indexOf(u':'); colon >= 0) {
        host = hostAndPort.first(colon);
        port = hostAndPort.sliced(colon + 1); // a second colon makes it no number
    }
    for (QChar c : port) {
        if (!isDigit(c.unicode()))
            return false;
    }
    while (port.size() > 1 && port[0] == u'0')
        port = port.sliced(1);

    out += QLatin1String("//");
    if (at >= 0) {
        appendCanonicalEscapes(out, authority.first(at));
        out += QLatin1Char('@');
    }
    appendHost(out, host);
    if (!port.isEmpty() && port != defaultPort) {
        out += QLatin1Char(':');
        out += port;
    }
    return true;
}

// True when the address already is its own key: "http://" or "https://",
// a host of lower-case letters, digits, "." and "-" with no port, then a
// path and query of ASCII characters that may stand raw, escapes only with
// upper-case hex for bytes that must stay escaped, and no fragment. Nearly
// every address a service lists is of this kind, so the key costs one scan
// and no copy.
bool isOwnKey(QStringView url)
{
    qsizetype i;
    if (url.startsWith(u"https://"))
        i = 8;
    else if (url.startsWith(u"http://"))
        i = 7;
    else
        return false;
    const qsizetype n = url.size();
    const qsizetype hostStart = i;
    for (; i < n; ++i) {
        const char16_t c = url[i].unicode();
        if (c == u'/' || c == u'?')
            break;
        if (!((c >= u'a' && c <= u'z') || isDigit(c) || c == u'.' || c == u'-'))
            return false;
    }
    if (i == hostStart)
        return false;
    for (; i < n; ++i) {
        const char16_t c = url[i].unicode();
        if (c >= 0x80 || c == u'#' || mustEscape(c))
            return false;
        if (c == u'%') {
            if (i + 2 >= n || !isUpperHex(url[i + 1].unicode()) || !isUpperHex(url[i + 2].unicode()))
                return false;
            const int byte = hexValue(url[i + 1].unicode()) * 16 + hexValue(url[i + 2].unicode());
            if (byte >= 0x80 || isUnreserved(char16_t(byte)))
                return false;
            i += 2;
        }
    }
    return true;
}

} // namespace

QString UrlKey::of(const QString &url)
{
    if (isOwnKey(url))
        return url;

    const QStringView text = QStringView(url).trimmed();
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (n == 0 || !isAsciiLetter(text[0].unicode()))
        return text.toString();
    while (i < n) {
        const char16_t c = text[i].unicode();
        if (!(isAsciiLetter(c) || isDigit(c) || c == u'+' || c == u'-' || c == u'.'))
            break;
        ++i;
    }
    if (i == n || text[i] != u':')
        return text.toString(); // no scheme: not an absolute address

    const QStringView scheme = text.first(i);
    QStringView defaultPort;
    if (scheme.compare(u"http", Qt::CaseInsensitive) == 0)
        defaultPort = u"80";
    else if (scheme.compare(u"https", Qt::CaseInsensitive) == 0)
        defaultPort = u"443";

    QString key;
    key.reserve(n + 16);
    for (QChar c : scheme)
        key += QChar(asciiLower(c.unicode()));
    key += QLatin1Char(':');
    QStringView rest = text.sliced(i + 1);
    if (const qsizetype hash = rest.indexOf(u'#'); hash >= 0)
        rest = rest.first(hash);
    if (rest.startsWith(u"//")) {
        rest = rest.sliced(2);
        qsizetype end = 0;
        while (end < rest.size() && rest[end] != u'/' && rest[end] != u'?')
            ++end;
        if (!appendAuthority(key, defaultPort, rest.first(end)))
            return text.toString();
        rest = rest.sliced(end);
    }
    appendCanonicalEscapes(key, rest);
    return key;
}

} // namespace veltrano
