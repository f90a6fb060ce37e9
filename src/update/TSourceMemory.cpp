#include "update/TSourceMemory.h"

#include "platform/SafeFile.h"
#include "sources/FeedDate.h"

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>

namespace pw::update {

namespace {

constexpr qint64 kMaxFileBytes = 64 * 1024;
constexpr qsizetype kMaxValueChars = 2000;

// 64 bits of SHA-1: the few hundred items one comic's feed can name never meet by chance.
QString KeyOf(const QString& identity)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

bool IsKey(const QString& key)
{
    return key.size() == 16 && std::all_of(key.begin(), key.end(), [](QChar c) {
               return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                      (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
           });
}

} // namespace

QString TSourceMemory::PathIn(const QString& comicFolder)
{
    return comicFolder + QStringLiteral("/.source");
}

TSourceMemory TSourceMemory::Load(const QString& path)
{
    TSourceMemory memory;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return memory;
    const QList<QByteArray> lines = f.read(kMaxFileBytes).split('\n');
    for (const QByteArray& raw : lines) {
        const qsizetype eq = raw.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = raw.left(eq);
        const QString value = SafeHeaderValue(QString::fromUtf8(raw.mid(eq + 1)));
        if (key == "ETag")
            memory.ETag = value;
        else if (key == "LastModified")
            memory.LastModified = value;
        else if (key == "Picture")
            memory.Picture = value;
        else if (key == "WaitUntil")
            memory.WaitUntil = QDateTime::fromString(value, Qt::ISODate).toUTC();
        else if (key == "Feed")
            memory.Feed = value;
        else if (key == "FeedETag")
            memory.FeedETag = value;
        else if (key == "FeedLastModified")
            memory.FeedLastModified = value;
        else if (key == "OlderFrom")
            memory.OlderFrom = value;
        else if (key == "OlderEnd")
            memory.OlderEnd = value == QLatin1String("1");
        else if (key == "Retry" && memory.Retries.size() < kMaxRetries) {
            // "yyyy-MM-dd left picture page"; addresses hold no blank, "-" stands for none.
            const QStringList parts = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            Retry r;
            if (parts.size() == 4)
                r = {QDate::fromString(parts[0], Qt::ISODate), parts[1].toInt(),
                     parts[2] == QLatin1String("-") ? QString() : parts[2],
                     parts[3] == QLatin1String("-") ? QString() : parts[3]};
            if (r.Day.isValid() && r.Left >= 0 && r.Left <= kRetries && !memory.RetryFor(r.Day, r.Identity()))
                memory.Retries.push_back(r);
        } else if (key == "Stored" && memory.StoredItems.size() < kMaxStoredItems) {
            // "yyyy-MM-dd key"
            const QStringList parts = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const StoredItem item{QDate::fromString(parts.value(0), Qt::ISODate), parts.value(1)};
            if (parts.size() == 2 && item.Day.isValid() && IsKey(item.Key))
                memory.StoredItems.push_back(item);
        }
    }
    return memory;
}

bool TSourceMemory::Save(const QString& path) const
{
    QByteArray text;
    auto line = [&](const char* key, const QString& value) {
        const QString safe = SafeHeaderValue(value);
        if (!safe.isEmpty())
            text += QByteArray(key) + '=' + safe.toUtf8() + '\n';
    };
    line("ETag", ETag);
    line("LastModified", LastModified);
    line("Picture", Picture);
    if (WaitUntil.isValid())
        line("WaitUntil", WaitUntil.toUTC().toString(Qt::ISODate));
    line("Feed", Feed);
    line("FeedETag", FeedETag);
    line("FeedLastModified", FeedLastModified);
    for (const StoredItem& item : StoredItems)
        line("Stored", item.Day.toString(Qt::ISODate) + QLatin1Char(' ') + item.Key);
    line("OlderFrom", OlderFrom);
    if (OlderEnd)
        line("OlderEnd", QStringLiteral("1"));
    auto word = [](const QString& address) {
        return address.isEmpty() || address.contains(QLatin1Char(' ')) ? QStringLiteral("-") : address;
    };
    for (const Retry& r : Retries)
        line("Retry", QStringLiteral("%1 %2 %3 %4")
                          .arg(r.Day.toString(Qt::ISODate))
                          .arg(r.Left)
                          .arg(word(r.Picture), word(r.Page)));
    return platform::SafeFile::Write(path, text);
}

bool TSourceMemory::Waits(const QDateTime& nowUtc) const
{
    return WaitUntil.isValid() && WaitUntil > nowUtc && WaitUntil <= nowUtc.addSecs(kMaxWaitSeconds);
}

TSourceMemory::Retry* TSourceMemory::RetryFor(const QDate& day, const QString& identity)
{
    for (Retry& r : Retries)
        if (r.Day == day && r.Identity() == identity)
            return &r;
    return nullptr;
}

void TSourceMemory::Failed(const QDate& day, const QString& picture, const QString& page, bool permanent)
{
    Retry* r = RetryFor(day, picture.isEmpty() ? page : picture);
    if (!r) {
        if (Retries.size() >= kMaxRetries) // the oldest day goes
            Retries.erase(std::min_element(Retries.begin(), Retries.end(),
                                           [](const Retry& a, const Retry& b) { return a.Day < b.Day; }));
        Retries.push_back({day, kRetries, picture, page});
        r = &Retries.back();
        if (permanent)
            r->Left = 0;
        return;
    }
    r->Left = permanent ? 0 : qMax(0, r->Left - 1);
    if (!page.isEmpty())
        r->Page = page;
}

void TSourceMemory::Stored(const QDate& day, const QString& identity, const QString& idKey)
{
    Retries.erase(std::remove_if(Retries.begin(), Retries.end(),
                                 [&](const Retry& r) { return r.Day == day && r.Identity() == identity; }),
                  Retries.end());
    for (const QString& name : {identity, idKey})
        if (!name.isEmpty())
            KeepStored(day, KeyOf(name));
}

void TSourceMemory::KeepStored(const QDate& day, const QString& key)
{
    StoredItems.erase(std::remove_if(StoredItems.begin(), StoredItems.end(),
                                     [&](const StoredItem& s) { return s.Key == key; }),
                      StoredItems.end());
    // The oldest go first: those of the newest day are the ones the next update needs.
    if (StoredItems.size() >= kMaxStoredItems)
        StoredItems.erase(
            std::min_element(StoredItems.begin(), StoredItems.end(),
                             [](const StoredItem& a, const StoredItem& b) { return a.Day < b.Day; }));
    StoredItems.push_back({day, key});
}

void TSourceMemory::KeepWalk(const TSourceMemory& written)
{
    OlderFrom = written.OlderFrom;
    OlderEnd = written.OlderEnd;
    for (const StoredItem& item : written.StoredItems)
        if (std::none_of(StoredItems.begin(), StoredItems.end(),
                         [&](const StoredItem& s) { return s.Key == item.Key; }))
            KeepStored(item.Day, item.Key);
}

bool TSourceMemory::HasStored(const QString& identity) const
{
    if (identity.isEmpty() || StoredItems.empty())
        return false;
    const QString key = KeyOf(identity);
    return std::any_of(StoredItems.begin(), StoredItems.end(),
                       [&](const StoredItem& s) { return s.Key == key; });
}

bool TSourceMemory::KnowsStoredOn(const QDate& day) const
{
    return std::any_of(StoredItems.begin(), StoredItems.end(),
                       [&](const StoredItem& s) { return s.Day == day; });
}

bool TSourceMemory::RetriesPending() const
{
    return std::any_of(Retries.begin(), Retries.end(), [](const Retry& r) { return r.Left > 0; });
}

QDateTime RetryAfterTime(const QString& value, const QDateTime& nowUtc)
{
    const QString v = value.trimmed();
    bool isNumber = false;
    const qint64 seconds = v.toLongLong(&isNumber);
    QDateTime until;
    if (isNumber && seconds >= 0)
        until = nowUtc.addSecs(qMin(seconds, TSourceMemory::kMaxWaitSeconds));
    else if (const auto date = sources::ParseFeedDate(v))
        until = qMin(date->Utc, nowUtc.addSecs(TSourceMemory::kMaxWaitSeconds));
    return until.isValid() && until > nowUtc ? until.toUTC() : QDateTime();
}

QString SafeHeaderValue(const QString& value)
{
    const QString v = value.trimmed();
    if (v.size() > kMaxValueChars)
        return {};
    for (QChar c : v)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return {};
    return v;
}

} // namespace pw::update
