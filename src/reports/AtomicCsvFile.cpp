#include "reports/AtomicCsvFile.h"

#include "app/VeltranoError.h"
#include "reports/CsvWriter.h"

#include <QDir>
#include <QSaveFile>

namespace veltrano {

void AtomicCsvFile::write(const QString &path, const std::function<void(CsvWriter &)> &fill)
{
    const QString shown = QDir::toNativeSeparators(path);
    // Until commit() the lines live in a temporary file in the target's
    // folder; leaving this function any other way removes it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw VeltranoError(QStringLiteral("Cannot create file \"%1\". %2").arg(shown, file.errorString()));
    CsvWriter csv(file);
    fill(csv);
    if (!csv.ok() || !file.commit())
        throw VeltranoError(QStringLiteral("Cannot write file \"%1\". %2").arg(shown, file.errorString()));
}

} // namespace veltrano
