#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// An error raised to the caller with a French message for the user; shown by the general
// error display when no handler catches it.
class QuilbaError final : public std::exception
{
public:
    explicit QuilbaError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
