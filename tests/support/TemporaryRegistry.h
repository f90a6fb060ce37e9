#pragma once

#include <QString>
#include <QTemporaryDir>

namespace pw::test {

// Both registry roots (the user's and the machine's) in a fresh temporary folder while
// it lives; the program's own roots again afterwards.
class TemporaryRegistry {
public:
    TemporaryRegistry();
    ~TemporaryRegistry();
    TemporaryRegistry(const TemporaryRegistry&) = delete;
    TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;

    QString Folder() const { return dir_.path(); }
    QString User() const { return dir_.path() + QStringLiteral("/user"); }
    QString Machine() const { return dir_.path() + QStringLiteral("/machine"); }

private:
    QTemporaryDir dir_;
};

} // namespace pw::test
