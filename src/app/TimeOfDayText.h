#pragma once

#include <QString>
#include <QTime>
#include <optional>

namespace pw::app {

// The [Updates] UpdateTime text: the user's long time format. The locale's long format
// may carry a time-zone name that cannot be read back, so it is left out: the text is
// hours, minutes and seconds as the user writes them ("13:05:07", "1:05:07 PM").
class TimeOfDayText {
public:
    static QString Format(); // the locale's long time format without its time zone
    static QString ToText(const QTime& time);
    // Reads what ToText wrote, and also the full long format, the short format and
    // "HH:mm:ss"; nullopt when nothing fits.
    static std::optional<QTime> FromText(const QString& text);
};

} // namespace pw::app
