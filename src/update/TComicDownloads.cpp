#include "update/TComicDownloads.h"

#include "update/TComicDownloadInfo.h"

#include <algorithm>

namespace pw::update {

void TComicDownloads::Remove(TComicDownloadInfo* job)
{
    const auto it = std::find(items_.begin(), items_.end(), job);
    if (it != items_.end())
        items_.erase(it);
}

TComicDownloadInfo* TComicDownloads::PopFirst()
{
    if (items_.empty())
        return nullptr;
    TComicDownloadInfo* first = items_.front();
    items_.erase(items_.begin());
    return first;
}

bool TComicDownloads::ContainsComic(const comics::TComicInfo* comic) const
{
    return std::any_of(items_.begin(), items_.end(),
                       [comic](const TComicDownloadInfo* j) { return j->Comic() == comic; });
}

bool TComicDownloads::Contains(const TComicDownloadInfo* job) const
{
    return std::find(items_.begin(), items_.end(), job) != items_.end();
}

} // namespace pw::update
