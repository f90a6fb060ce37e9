#include "update/TDownloadProgress.h"

#include "update/IProgressDisplay.h"
#include "update/TComicDownloadInfo.h"

#include <algorithm>

namespace pw::update {

TDownloadProgress::TDownloadProgress(IProgressDisplay& display,
                                     std::function<std::vector<int>()> activeStates,
                                     std::function<int()> queuedCount)
    : display_(display), activeStates_(std::move(activeStates)), queuedCount_(std::move(queuedCount))
{
    display_.SetProgressText(QString());
    Finish();
}

void TDownloadProgress::AddComic(bool show)
{
    ++total_;
    if (show)
        ShowTotal();
}

void TDownloadProgress::ShowTotal()
{
    display_.SetProgressMaximum(total_ * 4);
    RefreshLabel();
}

void TDownloadProgress::RefreshLabel()
{
    // Most state changes move the bar but not the counts: the text is made only when
    // they change.
    if (done_ == shownDone_ && total_ == shownTotal_)
        return;
    shownDone_ = done_;
    shownTotal_ = total_;
    display_.SetProgressText(QString::number(done_) + QStringLiteral(" of ") + QString::number(total_) +
                             QStringLiteral(" comics done."));
}

void TDownloadProgress::Update(int result)
{
    if (result == TComicDownloadInfo::kNewStrip)
        ++updated_;
    else if (result == TComicDownloadInfo::kNoUpdate)
        ++unchanged_;
    int partial = 0;
    const std::vector<int> states = activeStates_();
    for (int state : states) {
        // Negative states are side steps (found, aborting, ...): they count as no
        // progress rather than pulling the bar back.
        partial += std::clamp(state, 0, 4);
    }
    done_ = total_ - queuedCount_() - static_cast<int>(states.size());
    display_.SetProgressPosition(partial + done_ * 4);
    RefreshLabel();
}

void TDownloadProgress::Finish()
{
    if (!display_.ProgressText().isEmpty())
        display_.SetProgressText(QStringLiteral("%1 updated, %2 didn't need a update, %3 failed.")
                                     .arg(updated_)
                                     .arg(unchanged_)
                                     .arg(total_ - updated_ - unchanged_));
    total_ = done_ = updated_ = unchanged_ = 0;
    shownDone_ = shownTotal_ = -1;
    display_.SetProgressPosition(0);
}

} // namespace pw::update
