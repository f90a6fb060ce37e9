#include "sources/ItemChoice.h"

#include <algorithm>
#include <map>

namespace pw::sources {

std::vector<ChosenItem> ChooseNewItems(const std::vector<FeedItem>& items, const QDate& after,
                                       const QDate& today, std::size_t limit)
{
    struct Best {
        const FeedItem* Item;
        QDateTime When;
    };
    std::map<QDate, Best> perDay;
    for (const FeedItem& item : items) {
        const QDateTime when = item.Date ? item.Date->Utc : QDateTime(today, QTime(0, 0), Qt::UTC);
        const QDate day = when.date();
        if (after.isValid() && day <= after)
            continue;
        const auto found = perDay.find(day);
        if (found == perDay.end())
            perDay.emplace(day, Best{&item, when});
        else if (when > found->second.When)
            found->second = Best{&item, when};
    }
    std::vector<ChosenItem> chosen;
    for (auto it = perDay.rbegin(); it != perDay.rend() && chosen.size() < limit; ++it)
        chosen.push_back({*it->second.Item, it->first});
    std::reverse(chosen.begin(), chosen.end());
    return chosen;
}

} // namespace pw::sources
