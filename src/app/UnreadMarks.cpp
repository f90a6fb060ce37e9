#include "app/UnreadMarks.h"

#include "comics/TComicStripsDB.h"

#include <QComboBox>
#include <QFont>
#include <algorithm>

namespace pw::app {

UnreadMarks::UnreadMarks(const comics::TComicStripsDB& db, QComboBox& selector) : db_(db), selector_(selector)
{
}

QString UnreadMarks::CountText(int count)
{
    return count == 1 ? QStringLiteral("1 unread strip") : QStringLiteral("%1 unread strips").arg(count);
}

void UnreadMarks::Refill()
{
    counts_.clear();
    rows_.clear();
    total_ = 0;
    for (int i = 0; i < selector_.count(); ++i) {
        const QString name = selector_.itemText(i);
        rows_[name].append(i);
        auto known = counts_.find(name);
        if (known == counts_.end()) {
            known = counts_.insert(name, db_.UnreadCount(name));
            total_ += *known;
        }
        MarkItem(i, *known);
    }
    if (OnTotalChanged)
        OnTotalChanged(total_);
}

void UnreadMarks::Refresh(const QString& comicName)
{
    const auto known = counts_.find(comicName);
    if (known == counts_.end())
        return; // not in the selector: nothing shows its count
    const int count = db_.UnreadCount(comicName);
    if (count == *known)
        return;
    total_ += count - *known;
    *known = count;
    Mark(comicName, count);
    if (OnTotalChanged)
        OnTotalChanged(total_);
}

void UnreadMarks::Mark(const QString& comicName, int count)
{
    // The rows noted at the last refill, while they still hold the comic: a large update
    // marks thousands of comics, and a search of the whole selector for each adds up.
    const QList<int> rows = rows_.value(comicName);
    const bool current = !rows.isEmpty() && std::all_of(rows.begin(), rows.end(), [&](int i) {
        return i < selector_.count() && selector_.itemText(i) == comicName;
    });
    if (current) {
        for (int i : rows)
            MarkItem(i, count);
        return;
    }
    for (int i = 0; i < selector_.count(); ++i) {
        if (selector_.itemText(i) == comicName)
            MarkItem(i, count);
    }
}

void UnreadMarks::MarkItem(int index, int count)
{
    QVariant font;
    QVariant tip;
    if (count > 0) {
        QFont bold = selector_.font();
        bold.setBold(true);
        font = bold;
        tip = CountText(count);
    }
    selector_.setItemData(index, font, Qt::FontRole);
    selector_.setItemData(index, tip, Qt::ToolTipRole);
}

} // namespace pw::app
