#pragma once

#include <QDateTime>
#include <QString>

namespace pw::update {

// What an update remembers of a comic's address between runs: the validators of its
// last answer (for a conditional request), the picture a page named last time, and
// how long the site asked us to wait. Kept as ".source" in the comic's folder (a name
// no strip lookup reads), one "Key=value" line each.
class TSourceMemory {
public:
    QString ETag;
    QString LastModified;
    QString Picture;
    QDateTime WaitUntil; // UTC; invalid when the site asked for nothing

    // The longest wait a site may ask for.
    static constexpr qint64 kMaxWaitSeconds = 7 * 24 * 3600;
    // True while the site's wait runs; a stored wait beyond the longest a site may ask
    // for (an edited or damaged file) is no wait.
    bool Waits(const QDateTime& nowUtc) const;

    static QString PathIn(const QString& comicFolder);
    // A missing or unreadable file gives an empty memory.
    static TSourceMemory Load(const QString& path);
    // Temporary file and rename; false when it could not be written.
    bool Save(const QString& path) const;
};

// The moment a Retry-After value (seconds, or an HTTP date) names, at most a week
// after now; invalid for a value that is neither.
QDateTime RetryAfterTime(const QString& value, const QDateTime& nowUtc);

// A header value that may go back into a request header: no control character, not
// over-long. Empty when it cannot.
QString SafeHeaderValue(const QString& value);

} // namespace pw::update
