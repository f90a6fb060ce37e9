#pragma once

#include <QString>
#include <QTime>

namespace pw::update {

// When the daily update fires. Ticks come about once a second, sometimes late; the
// rule catches the target second once, even when the tick that covers it is late.
class TDailyUpdateRule {
public:
    // One tick at time of day `now`; true when the update should run now. After firing
    // the current second + 1 is recorded so the next tick cannot fire again.
    bool Tick(QTime now, QTime target);

    // The configured time of day (system long time format, or HH:mm:ss / H:mm); a value
    // that is not a time of day is midnight.
    static QTime ParseUpdateTime(const QString& text);

private:
    int previous_ = 0;
};

} // namespace pw::update
