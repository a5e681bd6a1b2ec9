#pragma once

// How the windows meet the desktop, beyond the ports the core already
// defines (app/UiPorts.h: message prompts, the browser, pending events):
// the clipboard and the file dialogs. The Gui* classes beside this file are
// the desktop's implementations; tests replace them.

#include "app/UiPorts.h"

#include <QString>

namespace veltrano {

// The text on the desktop clipboard, as "Paste from Clipboard" reads it.
class ClipboardText {
public:
    virtual ~ClipboardText() = default;
    virtual bool hasText() const = 0;
    virtual QString text() const = 0;
};

// Puts text on the desktop clipboard, as "Copy link" of the wait dialog
// does.
class ClipboardWriter {
public:
    virtual ~ClipboardWriter() = default;
    virtual void setText(const QString &text) = 0;
};

// The file-open and file-save dialogs of the "URLs List" page. Both return
// the chosen path, or an empty text when the user cancelled.
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
