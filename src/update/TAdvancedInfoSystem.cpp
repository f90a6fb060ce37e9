#include "update/TAdvancedInfoSystem.h"

#include "update/TComicDownloadInfo.h"

#include <algorithm>

namespace pw::update {

namespace {
const QString kFree = QStringLiteral("Free");
const QString kIdle = QStringLiteral("Idle");
} // namespace

TAdvancedInfoSystem::TAdvancedInfoSystem()
{
    rows_.push_back({QStringLiteral("Slots"), QStringLiteral("Comic"), QStringLiteral("Action")});
    SetSlotCount(0);
}

void TAdvancedInfoSystem::SetSlotCount(int n)
{
    n = std::max(n, 0);
    // With no slot one empty row still shows.
    rows_.resize(static_cast<size_t>(n == 0 ? 2 : n + 1));
    for (int r = slotCount_ + 1; r <= n; ++r)
        rows_[static_cast<size_t>(r)] = {QString::number(r), kFree, kIdle};
    if (n == 0)
        rows_[1] = {};
    slotCount_ = n;
    IndexSlots();
    GridChanged(kAllRows);
}

void TAdvancedInfoSystem::IndexSlots()
{
    slotOf_.clear();
    sharedNames_ = false;
    for (int r = slotCount_; r >= 1; --r) {
        const QString& name = rows_[static_cast<size_t>(r)][1];
        if (name == kFree)
            continue;
        sharedNames_ = sharedNames_ || slotOf_.contains(name);
        slotOf_.insert(name, r);
    }
}

void TAdvancedInfoSystem::ClearResults()
{
    results_.clear();
    if (OnResultsCleared)
        OnResultsCleared();
}

void TAdvancedInfoSystem::AssignSlot(const QString& comicName)
{
    for (int r = 1; r <= slotCount_; ++r) {
        Row& row = rows_[static_cast<size_t>(r)];
        if (row[1] == kFree) {
            row[1] = comicName;
            const auto known = slotOf_.find(comicName);
            if (known == slotOf_.end())
                slotOf_.insert(comicName, r);
            else {
                sharedNames_ = true;
                known.value() = std::min(known.value(), r);
            }
            row[2] = QStringLiteral("Contacting host...");
            GridChanged(r);
            return;
        }
    }
}

void TAdvancedInfoSystem::ShowStatus(const QString& comicName, const QString& statusText, int state)
{
    // The row is found without comparing every slot's name: 99 slots, several changes
    // per comic.
    const auto found = slotOf_.constFind(comicName);
    if (found == slotOf_.cend())
        return;
    const int r = found.value();
    {
        Row& row = rows_[static_cast<size_t>(r)];
        row[2] = statusText;
        if (TComicDownloadInfo::IsFinal(state)) {
            const QString message = comicName + QStringLiteral(": ") + statusText;
            results_.append(message);
            if (results_.size() > kMaxResults)
                results_.removeFirst();
            if (OnResultAdded)
                OnResultAdded(message);
            row[1] = kFree;
            row[2] = kIdle;
            if (sharedNames_)
                IndexSlots(); // another row may hold the name
            else
                slotOf_.erase(found);
        }
        GridChanged(r);
        return;
    }
}

TResultColour TAdvancedInfoSystem::ResultColour(const QString& message)
{
    if (message.contains(QLatin1String("No updated strip found")))
        return TResultColour::Red;
    if (message.contains(QLatin1String("New strip updated")))
        return TResultColour::Blue;
    return TResultColour::Normal;
}

void TAdvancedInfoSystem::GridChanged(int row)
{
    if (OnGridChanged)
        OnGridChanged(row);
}

} // namespace pw::update
