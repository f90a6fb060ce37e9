#include "sources/ItemChoice.h"

#include <QSet>
#include <algorithm>

namespace pw::sources {

QString ItemIdentity(const FeedItem& item)
{
    return item.Pictures.isEmpty() ? item.Link : item.Pictures.first();
}

QString ItemIdKey(const FeedItem& item)
{
    return item.Id.isEmpty() ? QString() : QStringLiteral("id ") + item.Id;
}

QDate ItemDay(const FeedItem& item, const QDate& today)
{
    return item.Date ? item.Date->Utc.toUTC().date() : today;
}

NewItems ChooseNewItems(const std::vector<FeedItem>& items, const QDate& after, const QDate& today,
                        std::size_t limit, const std::function<bool(const QString&)>& known)
{
    struct Candidate {
        const FeedItem* Item;
        QDateTime When;
        std::size_t Position;
    };
    std::vector<Candidate> fresh;
    QSet<QString> seen;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const FeedItem& item = items[i];
        const QDateTime when = item.Date ? item.Date->Utc.toUTC() : QDateTime(today, QTime(0, 0), Qt::UTC);
        if (after.isValid() && when.date() <= after)
            continue;
        const QString keys[] = {ItemIdentity(item), ItemIdKey(item)};
        const bool old = std::any_of(std::begin(keys), std::end(keys), [&](const QString& key) {
            return !key.isEmpty() && ((known && known(key)) || seen.contains(key));
        });
        if (old)
            continue;
        for (const QString& key : keys)
            if (!key.isEmpty())
                seen.insert(key);
        fresh.push_back({&item, when, i});
    }
    // Newest first.
    std::sort(fresh.begin(), fresh.end(), [](const Candidate& a, const Candidate& b) {
        return a.When != b.When ? a.When > b.When : a.Position < b.Position;
    });
    NewItems result;
    std::size_t taken = std::min(limit, fresh.size());
    // A day is not cut in two: its strips left over would be stored later, after the newer
    // ones of their day. Only a newest day with more items than the limit is.
    if (taken > 0 && taken < fresh.size()) {
        const QDate cut = fresh[taken].When.date();
        std::size_t whole = taken;
        while (whole > 0 && fresh[whole - 1].When.date() == cut)
            --whole;
        if (whole > 0)
            taken = whole;
    }
    result.LeftOver = fresh.size() - taken;
    for (std::size_t i = taken; i-- > 0;)
        result.Chosen.push_back({*fresh[i].Item, fresh[i].When.date()});
    return result;
}

} // namespace pw::sources
