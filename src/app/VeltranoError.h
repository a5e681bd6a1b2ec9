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

// A JSON member the caller needs is not in the answer.
inline VeltranoError valueNotFound(const QString &name)
{
    return VeltranoError(QStringLiteral("Value '%1' not found").arg(name));
}

} // namespace veltrano
