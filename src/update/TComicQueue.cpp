#include "update/TComicQueue.h"

namespace pw::update {

void TComicQueue::Add(comics::TComicInfo* comic, bool folderIsNew)
{
    items_.push_back({comic, folderIsNew});
    ++comics_[comic];
}

std::optional<TComicQueue::Entry> TComicQueue::PopFirst()
{
    if (items_.empty())
        return std::nullopt;
    const Entry first = items_.front();
    items_.pop_front();
    if (const auto it = comics_.find(first.Comic); it != comics_.end() && --it->second <= 0)
        comics_.erase(it);
    return first;
}

void TComicQueue::Clear()
{
    items_.clear();
    comics_.clear();
}

bool TComicQueue::ContainsComic(const comics::TComicInfo* comic) const
{
    return comics_.find(comic) != comics_.end();
}

} // namespace pw::update
