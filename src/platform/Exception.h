#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pw::platform {

// Base of every error the program raises on purpose; carries a user-facing text.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

} // namespace pw::platform
