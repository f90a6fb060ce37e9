#pragma once

#include <cstddef>
#include <vector>

namespace pw::comics {
class TComicInfo;
}

namespace pw::update {

class TComicDownloadInfo;

// An ordered list of update jobs; it refers to them and owns none.
class TComicDownloads {
public:
    void Add(TComicDownloadInfo* job) { items_.push_back(job); }
    void Remove(TComicDownloadInfo* job);
    TComicDownloadInfo* PopFirst();
    TComicDownloadInfo* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    int Count() const { return static_cast<int>(items_.size()); }
    bool ContainsComic(const comics::TComicInfo* comic) const;
    bool Contains(const TComicDownloadInfo* job) const;

private:
    std::vector<TComicDownloadInfo*> items_;
};

} // namespace pw::update
