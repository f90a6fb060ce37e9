#include "TestPaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace pw::test {

QString SourceDir()
{
    return qEnvironmentVariable("PANELWICK_SOURCE_DIR", QStringLiteral(PANELWICK_SOURCE_DIR_DEFAULT));
}
QString BinaryDir()
{
    return qEnvironmentVariable("PANELWICK_BINARY_DIR", QStringLiteral(PANELWICK_BINARY_DIR_DEFAULT));
}
QString FixturePath(const QString& relative)
{
    return SourceDir() + QStringLiteral("/tests/fixtures/") + relative;
}

bool WaitFor(const std::function<bool()>& pred, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace pw::test
