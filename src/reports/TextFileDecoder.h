#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>

namespace veltrano {

// Turns the bytes of a plain text URL list into text. A byte-order mark
// chooses UTF-8 or UTF-16 (little or big endian). Without one the bytes are
// read as UTF-8 when they are valid UTF-8, otherwise as Windows-1251.
class TextFileDecoder final {
public:
    enum class Encoding { Utf8WithBom, Utf16LittleEndian, Utf16BigEndian, Utf8, Windows1251 };

    static Encoding detect(QByteArrayView bytes);
    static QString decode(QByteArrayView bytes, Encoding *used = nullptr);

    // Calls lineFn for each line of text, top to bottom; lines end at CR, LF
    // or CR LF. A final line terminator opens no further line. lineFn returns
    // false to stop.
    static void forEachLine(QStringView text, const std::function<bool(QStringView)> &lineFn);
};

} // namespace veltrano
