#pragma once

#include <QString>

#include <functional>

namespace veltrano {

class CsvWriter;

// Writes a CSV file whole or not at all. The lines go to a temporary file
// beside the target, which takes the target's place only once every write
// has succeeded: a failed export leaves no half-written file behind and an
// existing file exactly as it was.
class AtomicCsvFile final {
public:
    // Fills the file through the writer (which starts it with the byte-order
    // mark) and puts it in place of path, replacing any file there. Raises a
    // VeltranoError naming the file and the system's reason when it cannot
    // be created or written; an error raised by fill ends the export the same
    // way, with nothing written.
    static void write(const QString &path, const std::function<void(CsvWriter &)> &fill);
};

} // namespace veltrano
