#include "reports/CsvWriter.h"

#include <QIODevice>

namespace veltrano {

CsvWriter::CsvWriter(QIODevice &device) : m_device(device)
{
    write(QByteArrayLiteral("\xEF\xBB\xBF"));
}

bool CsvWriter::needsQuotes(const QString &field)
{
    for (QChar c : field) {
        if (c == u';' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

QString CsvWriter::quoteField(const QString &field)
{
    if (!needsQuotes(field))
        return field;
    QString quoted = field;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

void CsvWriter::writeRow(const QStringList &fields)
{
    QString line;
    qsizetype length = 2;
    for (const QString &f : fields)
        length += f.size() + 1;
    line.reserve(length);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += u';';
        line += quoteField(fields[i]);
    }
    line += QLatin1String("\r\n");
    write(line.toUtf8());
}

void CsvWriter::write(const QByteArray &bytes)
{
    if (!m_ok)
        return;
    if (m_device.write(bytes) != bytes.size())
        m_ok = false;
}

} // namespace veltrano
