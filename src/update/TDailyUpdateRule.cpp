#include "update/TDailyUpdateRule.h"

#include <QLocale>

namespace pw::update {

bool TDailyUpdateRule::Tick(QTime now, QTime target)
{
    const int second = now.second();
    const int lower = previous_ > second ? 0 : previous_;
    previous_ = second;
    const bool fire = now.hour() == target.hour() && now.minute() == target.minute() &&
                      lower <= target.second() && target.second() <= second;
    if (fire)
        previous_ = second + 1;
    return fire;
}

QTime TDailyUpdateRule::ParseUpdateTime(const QString& text)
{
    const QString t = text.trimmed();
    QTime time = QLocale::system().toTime(t, QLocale::LongFormat);
    if (!time.isValid())
        time = QLocale::system().toTime(t, QLocale::ShortFormat);
    for (const char* format : {"H:mm:ss", "H:mm", "h:mm:ss AP", "h:mm AP"}) {
        if (time.isValid())
            break;
        time = QTime::fromString(t, QLatin1String(format));
    }
    return time.isValid() ? time : QTime(0, 0, 0);
}

} // namespace pw::update
