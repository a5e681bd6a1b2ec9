#pragma once

#include <QString>

namespace veltrano {

// The file-open and file-save dialogs of the "URLs List" page. Both return
// the chosen path, or an empty text when the user cancelled. Tests replace
// them with answers given in advance.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // filter: one entry such as "Text files (*.txt)".
    virtual QString openFileName(const QString &folder, const QString &filter) = 0;
    // An existing file is replaced without a question, and nothing is
    // appended to a name typed without an extension.
    virtual QString saveFileName(const QString &folder, const QString &proposedName, const QString &filter) = 0;
};

} // namespace veltrano
