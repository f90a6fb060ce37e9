#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class QComboBox;

namespace pw::comics {
class TComicStripsDB;
}

namespace pw::app {

// The unread strips of the comics in the comic selector, counted from their unread lists:
// a comic with unread strips is shown in bold with the count in its tooltip (its text stays
// the comic's name), and the total goes to whoever shows it.
class UnreadMarks {
public:
    UnreadMarks(const comics::TComicStripsDB& db, QComboBox& selector);

    // Counts every comic of the selector afresh; after the selector was filled.
    void Refill();
    // Counts one comic afresh; after its unread list may have changed.
    void Refresh(const QString& comicName);
    int Total() const { return total_; }
    // The comic's count at the last counting; 0 for a comic not in the selector.
    int Count(const QString& comicName) const { return counts_.value(comicName); }

    // After the total changed (also after Refill).
    std::function<void(int total)> OnTotalChanged;

    static QString CountText(int count); // "1 unread strip", "3 unread strips"

private:
    void Mark(const QString& comicName, int count);
    void MarkItem(int index, int count);

    const comics::TComicStripsDB& db_;
    QComboBox& selector_;
    QHash<QString, int> counts_;      // by name: a name listed twice is one comic
    QHash<QString, QList<int>> rows_; // the selector's rows of each name at the last refill
    int total_ = 0;
};

} // namespace pw::app
