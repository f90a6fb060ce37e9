#pragma once

#include <QApplication>

namespace pw::app {

// The program's application object: every event passes the exception guard, so an
// error that reaches the event loop shows the error box and the program goes on.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace pw::app
