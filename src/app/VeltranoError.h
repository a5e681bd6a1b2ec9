#pragma once

#include <QString>
#include <stdexcept>

namespace veltrano {

// An error that ends the operation that raised it. The window that started
// the operation shows its text in the application's error message box and
// the program goes on; nothing passes error codes between operations.
class VeltranoError : public std::runtime_error {
public:
    explicit VeltranoError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// The user cancelled, or the program is closing, while a request was in
// flight: the request was abandoned without an answer. A check ends here
// with its cancel line; any other handler just ends, with no message.
class RequestAborted final : public std::runtime_error {
public:
    RequestAborted() : std::runtime_error("request aborted") {}
};

// The text of an error for the application's error box: ours as raised,
// anything else read as UTF-8.
inline QString errorText(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const VeltranoError *>(&error))
        return own->message();
    return QString::fromUtf8(error.what());
}

// Title of the application's error message box, the one title every error
// box carries.
inline QString applicationErrorTitle()
{
    return QStringLiteral("Veltrano");
}

// A JSON member the caller needs is not in the answer.
inline VeltranoError valueNotFound(const QString &name)
{
    return VeltranoError(QStringLiteral("Value '%1' not found").arg(name));
}

} // namespace veltrano
