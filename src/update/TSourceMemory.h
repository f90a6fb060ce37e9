#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <vector>

namespace pw::update {

// What an update remembers of a comic's address between runs: the validators of its
// last answer (for a conditional request), the picture a page named last time, how long
// the site asked us to wait, the feed a page linked, the feed items stored lately and
// those that failed.
// Kept as ".source" in the comic's folder (a name no strip lookup reads), one
// "Key=value" line each.
class TSourceMemory {
public:
    // A feed item whose strip could not be stored: tried again at later updates while
    // attempts are left; with none left it is passed over for good.
    struct Retry {
        QDate Day;
        int Left = 0;
        QString Picture; // "" when the item named none
        QString Page;
        // The item's identity (sources::ItemIdentity): a day may have several items.
        const QString& Identity() const { return Picture.isEmpty() ? Page : Picture; }
    };
    // A feed item stored as a strip: what tells it from the day's other items at the next
    // updates. Key is a short hash of the item's identity, which keeps the file small.
    struct StoredItem {
        QDate Day;
        QString Key;
    };
    static constexpr int kRetries = 3;
    static constexpr std::size_t kMaxRetries = 60;
    // As many as a feed may hold items, each by its identity and its id: every item of
    // any one feed can be known.
    static constexpr std::size_t kMaxStoredItems = 1000;

    QString ETag;
    QString LastModified;
    QString Picture;
    QDateTime WaitUntil; // UTC; invalid when the site asked for nothing
    QString Feed;        // the feed the comic's page links (its strips come from there)
    QString FeedETag;    // the validators of that feed's last answer
    QString FeedLastModified;
    QString Site; // the comic's own site, when its address is a feed found through it
    std::vector<Retry> Retries;
    std::vector<StoredItem> StoredItems; // oldest first
    // Fetching older strips: the archive document to go on from, and whether the walk
    // reached the archive's start (nothing older is left beyond the comic's own feed).
    QString OlderFrom;
    bool OlderEnd = false;

    Retry* RetryFor(const QDate& day, const QString& identity);
    // One more failed attempt at that day's item with this picture, else this page
    // (permanent: no attempt is left).
    void Failed(const QDate& day, const QString& picture, const QString& page, bool permanent);
    // The item with this identity, of that day, is stored: no longer tried again, and known
    // by it and by its id key (when it has one).
    void Stored(const QDate& day, const QString& identity, const QString& idKey = QString());
    bool RetriesPending() const;
    // Takes what a walk through the comic's archive wrote into the file since this memory
    // was read: the point it goes on from, and the items it stored.
    void KeepWalk(const TSourceMemory& written);
    // True when the item with this identity was stored, whatever its day.
    bool HasStored(const QString& identity) const;
    // True when some item of that day was stored with its identity kept: the day's other
    // items are then told apart from the stored ones.
    bool KnowsStoredOn(const QDate& day) const;

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

private:
    void KeepStored(const QDate& day, const QString& key);
};

// The moment a Retry-After value (seconds, or an HTTP date) names, at most a week
// after now; invalid for a value that is neither.
QDateTime RetryAfterTime(const QString& value, const QDateTime& nowUtc);

// A header value that may go back into a request header: no control character, not
// over-long. Empty when it cannot.
QString SafeHeaderValue(const QString& value);

} // namespace pw::update
