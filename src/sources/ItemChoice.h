#pragma once

#include "sources/FeedReader.h"

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

namespace pw::sources {

struct ChosenItem {
    FeedItem Item;
    QDate Day; // the UTC day that names the strip
};

struct NewItems {
    std::vector<ChosenItem> Chosen; // oldest first, in the order they were published
    std::size_t LeftOver = 0;       // new items beyond the limit: older than every chosen one
};

// What tells an item from the others across updates: the first picture it names, else
// its page; empty when it names neither.
QString ItemIdentity(const FeedItem& item);
// What tells the item from the others by the feed's own word (its guid or id, kept
// apart from addresses); empty when the item has none. An item is known by either:
// a feed whose picture addresses change at every fetch still names its items the same.
QString ItemIdKey(const FeedItem& item);
// The UTC day that names an item's strip; `today` for an item without a readable date.
QDate ItemDay(const FeedItem& item, const QDate& today);

// The items an update stores: every item of a day later than `after` (all when it is
// invalid) that `known` names neither by its identity nor by its id key (unset: none is
// known), each identity and id once, the `limit` newest of them, oldest first, and never part of a day unless
// the newest day alone holds more than `limit`. Newest by date and time; among
// equals the later in the document is taken as the older, as feeds list their newest
// first. An item without a readable date belongs to `today`.
NewItems ChooseNewItems(const std::vector<FeedItem>& items, const QDate& after, const QDate& today,
                        std::size_t limit, const std::function<bool(const QString&)>& known = {});

} // namespace pw::sources
