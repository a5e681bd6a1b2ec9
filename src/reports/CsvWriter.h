#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

namespace veltrano {

// Writes semicolon-separated lines to a device: UTF-8 with a byte-order
// mark (written when the writer is made), every line ending with CR LF.
// A field holding ";", a double quote, CR or LF is put in double quotes
// with its double quotes doubled, so no text can shift the fields after it.
class CsvWriter final {
public:
    explicit CsvWriter(QIODevice &device);

    void writeRow(const QStringList &fields);
    // False once any write to the device has failed.
    bool ok() const { return m_ok; }

    static QString quoteField(const QString &field);
    static bool needsQuotes(const QString &field);

private:
    void write(const QByteArray &bytes);

    QIODevice &m_device;
    bool m_ok = true;
};

} // namespace veltrano
