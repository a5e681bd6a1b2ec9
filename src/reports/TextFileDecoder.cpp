#include "reports/TextFileDecoder.h"

#include "reports/Windows1251Decoder.h"

#include <QStringDecoder>

namespace veltrano {

namespace {

bool startsWith(QByteArrayView bytes, std::initializer_list<unsigned char> prefix)
{
    if (bytes.size() < qsizetype(prefix.size()))
        return false;
    qsizetype i = 0;
    for (unsigned char b : prefix) {
        if (static_cast<unsigned char>(bytes[i++]) != b)
            return false;
    }
    return true;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes, bool *valid = nullptr)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (valid)
        *valid = !decoder.hasError();
    return text;
}

} // namespace

TextFileDecoder::Encoding TextFileDecoder::detect(QByteArrayView bytes)
{
    if (startsWith(bytes, {0xEF, 0xBB, 0xBF}))
        return Encoding::Utf8WithBom;
    if (startsWith(bytes, {0xFF, 0xFE}))
        return Encoding::Utf16LittleEndian;
    if (startsWith(bytes, {0xFE, 0xFF}))
        return Encoding::Utf16BigEndian;
    bool valid = false;
    decodeWith(QStringConverter::Utf8, bytes, &valid);
    return valid ? Encoding::Utf8 : Encoding::Windows1251;
}

QString TextFileDecoder::decode(QByteArrayView bytes, Encoding *used)
{
    Encoding encoding;
    QString text;
    if (startsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        encoding = Encoding::Utf8WithBom;
        text = decodeWith(QStringConverter::Utf8, bytes.sliced(3));
    } else if (startsWith(bytes, {0xFF, 0xFE})) {
        encoding = Encoding::Utf16LittleEndian;
        text = decodeWith(QStringConverter::Utf16LE, bytes.sliced(2));
    } else if (startsWith(bytes, {0xFE, 0xFF})) {
        encoding = Encoding::Utf16BigEndian;
        text = decodeWith(QStringConverter::Utf16BE, bytes.sliced(2));
    } else {
        bool valid = false;
        text = decodeWith(QStringConverter::Utf8, bytes, &valid);
        encoding = Encoding::Utf8;
        if (!valid) {
            encoding = Encoding::Windows1251;
            text = Windows1251Decoder::decode(bytes);
        }
    }
    if (used)
        *used = encoding;
    return text;
}

void TextFileDecoder::forEachLine(QStringView text, const std::function<bool(QStringView)> &lineFn)
{
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        if (!lineFn(text.sliced(start, i - start)))
            return;
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lineFn(text.sliced(start));
}

} // namespace veltrano
