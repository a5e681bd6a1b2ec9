#include "net/FormEncoding.h"

#include <QByteArray>

namespace veltrano {

namespace {

bool keptAsIs(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!$'()*-.@_").contains(c);
}

} // namespace

QString formEncoded(const QString &text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        if (keptAsIs(c)) {
            out += c;
        } else if (c == ' ') {
            out += '+';
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return QString::fromLatin1(out);
}

} // namespace veltrano
