#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <unordered_map>

namespace pw::comics {
class TComicInfo;
}

namespace pw::update {

// The comics of an update waiting for a free slot, in order. A comic's job is made when
// its turn comes: ten thousand queued comics cost a pointer and a flag each, not a job.
class TComicQueue {
public:
    struct Entry {
        comics::TComicInfo* Comic = nullptr;
        bool FolderIsNew = false; // its folder was made, empty, when it was queued
    };

    void Add(comics::TComicInfo* comic, bool folderIsNew);
    std::optional<Entry> PopFirst();
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    bool ContainsComic(const comics::TComicInfo* comic) const;

private:
    // A deque: the queue of a large update is taken from the front. The comics are
    // counted so that a thousand queued comics are not searched one by one.
    std::deque<Entry> items_;
    std::unordered_map<const comics::TComicInfo*, int> comics_;
};

} // namespace pw::update
