#pragma once

#include <functional>

namespace pw::update {

class IProgressDisplay;

// Progress of one batch of updates, in quarter-comics (4 units per comic), and the
// summary shown when the batch ends.
class TDownloadProgress {
public:
    // runningCount: jobs running; queuedCount: jobs waiting.
    TDownloadProgress(IProgressDisplay& display, std::function<int()> runningCount,
                      std::function<int()> queuedCount);

    // The part of a running job's state in the bar, in quarter-comics: side steps (found,
    // aborting, ...) count as no progress rather than pulling the bar back.
    static int StateUnits(int state);

    // show false: the caller adds many in one go and calls ShowTotal after the last;
    // the texts in between would never be painted.
    void AddComic(bool show = true);
    void ShowTotal();
    void RefreshLabel();
    // A running job moved from one state to another (a job that ends leaves with its
    // last state). Kept as a sum: the bar never walks all running jobs.
    void JobMoved(int before, int after);
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
    std::function<int()> runningCount_;
    std::function<int()> queuedCount_;
    int total_ = 0;
    int done_ = 0;
    int updated_ = 0;
    int unchanged_ = 0;
    int running_ = 0;    // the running jobs' units
    int shownDone_ = -1; // the counts the label shows
    int shownTotal_ = -1;
};

} // namespace pw::update
