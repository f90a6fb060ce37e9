#include "desktop/StartupNotice.h"

namespace pw::desktop {

std::optional<quint32> StartupNotice::ClickTime(const QByteArray& startupId)
{
    const qsizetype at = startupId.lastIndexOf("_TIME");
    if (at < 0)
        return std::nullopt;
    bool ok = false;
    const qulonglong time = startupId.mid(at + 5).toULongLong(&ok);
    if (!ok || time == 0 || time > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<quint32>(time);
}

QByteArrayList StartupNotice::RemoveMessagePieces(const QByteArray& startupId)
{
    // Values with blanks, quotes or backslashes travel quoted, those two escaped.
    QByteArray value;
    for (const char c : startupId) {
        if (c == '"' || c == '\\')
            value += '\\';
        value += c;
    }
    QByteArray message = "remove: ID=\"" + value + "\"";
    message += '\0';
    QByteArrayList pieces;
    for (qsizetype i = 0; i < message.size(); i += 20)
        pieces << message.mid(i, 20).leftJustified(20, '\0');
    return pieces;
}

} // namespace pw::desktop
