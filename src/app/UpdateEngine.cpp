#include "app/UpdateEngine.h"

#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/UnreadMarks.h"
#include "comics/StripWordsFile.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "platform/ExceptionGuard.h"
#include "platform/MessageTarget.h"
#include "update/SimDownloads.h"
#include "update/TComicDownloadInfo.h"
#include "update/TInfoForm.h"
#include "update/TUpdateScheduler.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace pw::app {

UpdateEngine::UpdateEngine(TForm1& form, TForm2& debugLog)
    : form_(form), debugLog_(debugLog), notifier_(form),
      scheduler_(std::make_unique<update::TUpdateScheduler>(form.Ini(), form.StripsDB(), form.ComicsToGet(),
                                                            info_, *this)),
      older_(std::make_unique<OlderStripsCommand>(form, info_, *this, [this] { return scheduler_->Busy(); }))
{
    // "&Abort All Updates" does what the abort button does.
    QObject::connect(form_.Abortallupdates1, &QAction::triggered, scheduler_.get(),
                     [this] { platform::Guarded([this] { AbortAll(); }); });
    scheduler_->OnJobFinished = [this](const update::TComicDownloadInfo& job) {
        if (job.State() != update::TComicDownloadInfo::kNewStrip || job.DownloadedSize() <= 0)
            return;
        form_.Unread().Refresh(job.ComicName());
        // The newest new strip's title names it in the notification and the tray hint.
        QString title;
        if (!job.NewStripFiles().isEmpty() && comics::TComicStripsDB::IsUsableName(job.ComicName()))
            title = comics::StripWordsFile()
                        .Find(form_.StripsDB().ComicFolder(job.ComicName()), job.NewStripFiles().back())
                        .Title;
        notifier_.StripArrived(job.ComicName(), title);
        form_.NoteNewStrip(job.ComicName(), title);
    };
    scheduler_->OnBatchFinished = [this] { notifier_.BatchFinished(); };
}

UpdateEngine::~UpdateEngine()
{
    infoForm_.reset();
    older_.reset();
    scheduler_.reset();
}

void UpdateEngine::CreateInfoForm()
{
    info_.SetSlotCount(update::MaxSimDownloads(form_.Ini()));
    info_.ClearResults();
    // The start-up message may show the window at once (an update with ShowAdvancedInfo).
    form_.StartupTarget().Send(kStartupMessage);
}

update::TInfoForm* UpdateEngine::InfoForm()
{
    if (!infoForm_)
        infoForm_ = std::make_unique<update::TInfoForm>(form_.Ini(), info_);
    return infoForm_.get();
}

void UpdateEngine::UpdateAll()
{
    scheduler_->UpdateAllComics();
}

void UpdateEngine::UpdateCurrentComic()
{
    if (comics::TComicInfo* comic = form_.CurrentComic())
        scheduler_->UpdateComic(comic->Name);
}

void UpdateEngine::UpdateComic(const QString& name)
{
    scheduler_->UpdateComic(name);
}

void UpdateEngine::FetchOlderStrips()
{
    older_->Start();
}

bool UpdateEngine::Busy() const
{
    // A walk of older strips writes into a comic's folder as an update does.
    return scheduler_->Busy() || (older_ && older_->Running());
}

void UpdateEngine::AbortAll()
{
    scheduler_->AbortAll();
    older_->Abort();
}

void UpdateEngine::ShowAdvancedInfo()
{
    InfoForm()->Toggle();
}

void UpdateEngine::StartDailyTimer()
{
    scheduler_->SetDailyTimerEnabled(true);
}

void UpdateEngine::SetSlotCount(int count)
{
    info_.SetSlotCount(count);
}

void UpdateEngine::SetProgressMaximum(int max)
{
    form_.ProgressBar->setMaximum(max);
}

void UpdateEngine::SetProgressPosition(int position)
{
    form_.ProgressBar->setValue(std::clamp(position, 0, form_.ProgressBar->maximum()));
}

void UpdateEngine::SetProgressText(const QString& text)
{
    form_.ProgressLabel->setText(text);
    form_.ProgressLabel->setToolTip(text);
}

QString UpdateEngine::ProgressText() const
{
    return form_.ProgressLabel->text();
}

void UpdateEngine::SetAbortEnabled(bool enabled)
{
    // The fetching of older strips is stopped by the same button.
    form_.bitbtnAbort->setEnabled(enabled || (older_ && older_->Running()));
}

void UpdateEngine::SetUpdateCommandEnabled(bool enabled)
{
    form_.Updatecomicstrips1->setEnabled(enabled);
}

void UpdateEngine::ShowAdvancedInfoWindow()
{
    if (update::TInfoForm* window = InfoForm(); !window->IsShowing())
        window->show();
}

comics::TComicInfo* UpdateEngine::ShownComic() const
{
    return form_.CurrentComic();
}

void UpdateEngine::ShowNewStrip(comics::TComicInfo& comic, const comics::TComicStrip& strip)
{
    form_.ShowStrip(comic, strip);
}

void UpdateEngine::SetStripAsWallpaper(const comics::TComicStrip& strip)
{
    form_.SetStripAsWallpaper(strip);
}

void UpdateEngine::AppendDebugLog(const QString& line)
{
    debugLog_.Append(line);
}

} // namespace pw::app
