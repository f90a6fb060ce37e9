#pragma once

#include <QCoreApplication>

namespace pw::platform {

// Application object for windowless runs (tests, batch mode): every event passes the guard.
class GuardedCoreApplication : public QCoreApplication {
public:
    GuardedCoreApplication(int& argc, char** argv) : QCoreApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace pw::platform
