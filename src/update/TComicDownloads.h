#pragma once

#include <cstddef>
#include <deque>
#include <unordered_map>

namespace pw::comics {
class TComicInfo;
}

namespace pw::update {

class TComicDownloadInfo;

// An ordered list of update jobs; it refers to them and owns none.
class TComicDownloads {
public:
    void Add(TComicDownloadInfo* job);
    void Remove(TComicDownloadInfo* job);
    TComicDownloadInfo* PopFirst();
    TComicDownloadInfo* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    int Count() const { return static_cast<int>(items_.size()); }
    bool ContainsComic(const comics::TComicInfo* comic) const;
    bool Contains(const TComicDownloadInfo* job) const;

private:
    void Forget(const TComicDownloadInfo* job);

    // A deque: the queue of a large update is taken from the front. The comics are
    // counted so that a thousand queued comics are not searched one by one.
    std::deque<TComicDownloadInfo*> items_;
    std::unordered_map<const comics::TComicInfo*, int> comics_;
};

} // namespace pw::update
