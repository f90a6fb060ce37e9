#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

namespace pw::update {

enum class TResultColour { Normal, Red, Blue };

// What the Advanced Info window shows: one row per update slot (comic and status) and
// the result messages of finished comics. Holds the cells itself so that it works, and
// can be tested, without the window; the window mirrors it through the callbacks.
class TAdvancedInfoSystem {
public:
    using Row = std::array<QString, 3>; // slot number, comic or "Free", action or "Idle"
    // OnGridChanged's row when more than one row (or the row count) changed.
    static constexpr int kAllRows = -1;
    // Result messages kept: the newest ones, a whole update of a very large catalogue.
    // Older ones are dropped from the top, so that a program that runs for months does
    // not grow.
    static constexpr int kMaxResults = 10000;

    TAdvancedInfoSystem();

    void SetSlotCount(int n);
    int SlotCount() const { return slotCount_; }
    void ClearResults();

    void AssignSlot(const QString& comicName);
    void ShowStatus(const QString& comicName, const QString& statusText, int state);

    // Row 0 is the header; the grid has RowCount() rows.
    int RowCount() const { return static_cast<int>(rows_.size()); }
    const Row& RowAt(int row) const { return rows_.at(static_cast<size_t>(row)); }
    const QStringList& Results() const { return results_; }

    static TResultColour ResultColour(const QString& message);

    std::function<void(int row)> OnGridChanged;
    std::function<void(const QString&)> OnResultAdded;
    std::function<void()> OnResultsCleared;

private:
    void GridChanged(int row);
    void IndexSlots();

    std::vector<Row> rows_;
    // Each busy slot's comic and row, the first row when two hold one name.
    QHash<QString, int> slotOf_;
    bool sharedNames_ = false;
    QStringList results_;
    int slotCount_ = 0;
};

} // namespace pw::update
