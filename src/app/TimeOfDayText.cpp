#include "app/TimeOfDayText.h"

#include <QLocale>
#include <QRegularExpression>

namespace pw::app {

QString TimeOfDayText::Format()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    // Drop the zone ("t", "tt", ...) outside quoted text, and the spaces around it.
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    out = out.simplified();
    if (!out.contains(QLatin1Char('s')))
        out = QStringLiteral("HH:mm:ss"); // a format without seconds would lose them
    return out;
}

QString TimeOfDayText::ToText(const QTime& time)
{
    return QLocale::system().toString(time, Format());
}

std::optional<QTime> TimeOfDayText::FromText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QLocale locale = QLocale::system();
    const QString formats[] = {Format(),
                               locale.timeFormat(QLocale::LongFormat),
                               locale.timeFormat(QLocale::ShortFormat),
                               QStringLiteral("HH:mm:ss"),
                               QStringLiteral("H:mm:ss"),
                               QStringLiteral("HH:mm")};
    for (const QString& f : formats) {
        const QTime time = locale.toTime(t, f);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

} // namespace pw::app
