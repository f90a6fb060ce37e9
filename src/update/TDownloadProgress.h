#pragma once

#include <functional>
#include <vector>

namespace pw::update {

class IProgressDisplay;

// Progress of one batch of updates, in quarter-comics (4 units per comic), and the
// summary shown when the batch ends.
class TDownloadProgress {
public:
    // activeStates: the states of the running jobs; queuedCount: jobs waiting.
    TDownloadProgress(IProgressDisplay& display, std::function<std::vector<int>()> activeStates,
                      std::function<int()> queuedCount);

    // show false: the caller adds many in one go and calls ShowTotal after the last;
    // the texts in between would never be painted.
    void AddComic(bool show = true);
    void ShowTotal();
    void RefreshLabel();
    // result: 4 a new strip, 6 nothing new, anything else a failure.
    void Update(int result);
    void Finish();

    int Total() const { return total_; }
    int Done() const { return done_; }
    int Updated() const { return updated_; }
    int Unchanged() const { return unchanged_; }
    int Failed() const { return total_ - updated_ - unchanged_; }

private:
    IProgressDisplay& display_;
    std::function<std::vector<int>()> activeStates_;
    std::function<int()> queuedCount_;
    int total_ = 0;
    int done_ = 0;
    int updated_ = 0;
    int unchanged_ = 0;
    int shownDone_ = -1; // the counts the label shows
    int shownTotal_ = -1;
};

} // namespace pw::update
