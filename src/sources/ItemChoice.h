#pragma once

#include "sources/FeedReader.h"

#include <QDate>
#include <vector>

namespace pw::sources {

struct ChosenItem {
    FeedItem Item;
    QDate Day; // the UTC day that names the strip
};

// The items an update stores: for each UTC day the newest item of that day (by date and
// time, not by position; among equals the first in the document), only days later than
// `after` (all when it is invalid), the `limit` newest of those, oldest first. An item
// without a readable date belongs to `today`.
std::vector<ChosenItem> ChooseNewItems(const std::vector<FeedItem>& items, const QDate& after,
                                       const QDate& today, std::size_t limit);

} // namespace pw::sources
