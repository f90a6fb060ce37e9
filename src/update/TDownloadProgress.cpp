#include "update/TDownloadProgress.h"

#include "update/IProgressDisplay.h"
#include "update/TComicDownloadInfo.h"

#include <algorithm>

namespace pw::update {

TDownloadProgress::TDownloadProgress(IProgressDisplay& display, std::function<int()> runningCount,
                                     std::function<int()> queuedCount)
    : display_(display), runningCount_(std::move(runningCount)), queuedCount_(std::move(queuedCount))
{
    display_.SetProgressText(QString());
    Finish();
}

int TDownloadProgress::StateUnits(int state)
{
    return std::clamp(state, 0, 4);
}

void TDownloadProgress::JobMoved(int before, int after)
{
    running_ += StateUnits(after) - StateUnits(before);
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
    done_ = total_ - queuedCount_() - runningCount_();
    display_.SetProgressPosition(running_ + done_ * 4);
    RefreshLabel();
}

void TDownloadProgress::Finish()
{
    if (!display_.ProgressText().isEmpty())
        display_.SetProgressText(QStringLiteral("%1 updated, %2 didn't need a update, %3 failed.")
                                     .arg(updated_)
                                     .arg(unchanged_)
                                     .arg(total_ - updated_ - unchanged_));
    total_ = done_ = updated_ = unchanged_ = running_ = 0;
    shownDone_ = shownTotal_ = -1;
    display_.SetProgressPosition(0);
}

} // namespace pw::update
