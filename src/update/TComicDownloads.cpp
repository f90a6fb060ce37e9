#include "update/TComicDownloads.h"

#include "update/TComicDownloadInfo.h"

#include <algorithm>

namespace pw::update {

void TComicDownloads::Add(TComicDownloadInfo* job)
{
    items_.push_back(job);
    ++comics_[job->Comic()];
}

void TComicDownloads::Forget(const TComicDownloadInfo* job)
{
    const auto it = comics_.find(job->Comic());
    if (it != comics_.end() && --it->second == 0)
        comics_.erase(it);
}

void TComicDownloads::Remove(TComicDownloadInfo* job)
{
    const auto it = std::find(items_.begin(), items_.end(), job);
    if (it != items_.end()) {
        items_.erase(it);
        Forget(job);
    }
}

TComicDownloadInfo* TComicDownloads::PopFirst()
{
    if (items_.empty())
        return nullptr;
    TComicDownloadInfo* first = items_.front();
    items_.pop_front();
    Forget(first);
    return first;
}

bool TComicDownloads::ContainsComic(const comics::TComicInfo* comic) const
{
    return comics_.count(comic) != 0;
}

bool TComicDownloads::Contains(const TComicDownloadInfo* job) const
{
    return std::find(items_.begin(), items_.end(), job) != items_.end();
}

} // namespace pw::update
