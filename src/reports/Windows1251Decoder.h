#pragma once

#include <QByteArrayView>
#include <QString>

namespace veltrano {

// The Cyrillic 8-bit code page Windows-1251, the legacy encoding of text
// files this program's users keep URL lists in. Qt's converters do not
// carry it, so it is a plain table. The one byte the code page leaves
// undefined (0x98) becomes U+FFFD.
class Windows1251Decoder final {
public:
    static QString decode(QByteArrayView bytes);
    static char16_t toUnicode(unsigned char byte);
};

} // namespace veltrano
