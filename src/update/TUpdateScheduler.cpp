#include "update/TUpdateScheduler.h"

#include "comics/TComicInfo.h"
#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/Timer.h"
#include "platform/Tunables.h"
#include "update/IUpdateHost.h"
#include "update/SimDownloads.h"
#include "update/TAdvancedInfoSystem.h"
#include "update/TComicDownloadInfo.h"
#include "update/TDownloadProgress.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <sys/stat.h>
#include <utility>

namespace pw::update {

namespace {
// Runs a step after which a finished job's bookkeeping must still go on (its slot freed,
// the next job started, the batch ended). A failure is reported from the loop once that
// is done, so that a box left open holds up no other job.
template <class F> void ReportFailureLater(QObject* context, F&& step)
{
    try {
        std::forward<F>(step)();
    } catch (...) {
        QTimer::singleShot(0, context,
                           [error = std::current_exception()] { platform::ReportUnhandled(error); });
    }
}
} // namespace

TUpdateScheduler::TUpdateScheduler(platform::TIniFile& ini, const comics::TComicStripsDB& db,
                                   const comics::TComicsList& comicsToGet, TAdvancedInfoSystem& info,
                                   IUpdateHost& host, QObject* parent)
    : QObject(parent), ini_(ini), db_(db), comicsToGet_(comicsToGet), info_(info), host_(host),
      dailyTimer_(new platform::Timer(this))
{
    dailyTimer_->SetInterval(platform::Tunables::DailyTickMs);
    dailyTimer_->OnTimer = [this] { DailyUpdateTimerTimer(); };
}

TUpdateScheduler::~TUpdateScheduler()
{
    // Jobs are children of this object; they go with it.
    for (TComicDownloadInfo* job : findChildren<TComicDownloadInfo*>(Qt::FindDirectChildrenOnly))
        job->OnStatusChange = nullptr;
}

int TUpdateScheduler::Limit() const
{
    return MaxSimDownloads(ini_);
}

void TUpdateScheduler::UpdateComic(const QString& name)
{
    UpdateComic(name, Limit(),
                ini_.ReadBool(QStringLiteral("Updates"), QStringLiteral("ShowAdvancedInfo"), false));
}

void TUpdateScheduler::UpdateComic(const QString& name, int limit, bool showAdvancedInfo)
{
    if (comics::TComicInfo* comic = comicsToGet_.FindByName(name))
        UpdateComic(*comic, limit, showAdvancedInfo);
}

void TUpdateScheduler::UpdateComic(comics::TComicInfo& info, int limit, bool showAdvancedInfo)
{
    comics::TComicInfo* comic = &info;
    if (active_.ContainsComic(comic) || queued_.ContainsComic(comic))
        return;
    host_.SetAbortEnabled(true);
    if (showAdvancedInfo)
        host_.ShowAdvancedInfoWindow();
    if (!progress_) {
        progress_ = std::make_unique<TDownloadProgress>(
            host_,
            [this] {
                std::vector<int> states;
                for (int i = 0; i < active_.Count(); ++i)
                    states.push_back(active_.Items(i)->State());
                return states;
            },
            [this] { return queued_.Count(); });
    }
    progress_->AddComic(!addingAll_);

    auto* job = new TComicDownloadInfo(*comic, db_, ini_, this);
    job->OnStatusChange = [this](TComicDownloadInfo& j) { DownloadStatusChanged(j); };
    if (host_.KeepsDebugLog())
        job->OnLog = [this](const QString& line) { host_.AppendDebugLog(line); };
    if (comics::TComicStripsDB::IsUsableName(comic->Name) && !comic->Name.isEmpty()) {
        // One call whether or not the folder exists; the comics folder itself is made
        // again only when it went missing.
        const QString folder = db_.ComicFolder(comic->Name);
        if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 && errno == ENOENT)
            QDir().mkpath(folder);
    }

    if (active_.Count() < limit)
        StartJob(job);
    else
        queued_.Add(job);
}

void TUpdateScheduler::UpdateAllComics()
{
    // Nothing can change the settings while this loop runs: read them once, not once
    // per comic (the file is read afresh on every read).
    const int limit = Limit();
    const bool showAdvancedInfo =
        ini_.ReadBool(QStringLiteral("Updates"), QStringLiteral("ShowAdvancedInfo"), false);
    // A name stands for its first comic in the list, as when asked for by name; the
    // set spares a search of the whole list per comic.
    QSet<QString> names;
    names.reserve(comicsToGet_.Count());
    const int before = progress_ ? progress_->Total() : 0;
    {
        // The label and bar show the new total once, not once per comic.
        addingAll_ = true;
        const std::unique_ptr<bool, void (*)(bool*)> done(&addingAll_, [](bool* adding) { *adding = false; });
        for (int i = 0; i < comicsToGet_.Count(); ++i) {
            comics::TComicInfo* comic = comicsToGet_.GetItem(i);
            if (!names.contains(comic->Name)) {
                names.insert(comic->Name);
                UpdateComic(*comic, limit, showAdvancedInfo);
            }
        }
    }
    if (progress_ && progress_->Total() > before)
        progress_->ShowTotal();
}

void TUpdateScheduler::StartJob(TComicDownloadInfo* job)
{
    active_.Add(job);
    info_.AssignSlot(job->ComicName());
    job->Start();
}

void TUpdateScheduler::DownloadStatusChanged(TComicDownloadInfo& job)
{
    info_.ShowStatus(job.ComicName(), job.StatusText(), job.State());
    const int state = job.State();
    if (!TComicDownloadInfo::IsFinal(state)) {
        if (state == TComicDownloadInfo::kLooking || state == TComicDownloadInfo::kGettingStrip)
            progress_->Update(-1);
        return;
    }

    bool timedOut = false;
    const bool stored = state == TComicDownloadInfo::kNewStrip && job.DownloadedSize() > 0;
    if (stored) {
        RecordNewStrip(job);
    } else if (state != TComicDownloadInfo::kNoUpdate) {
        // Nothing of a failed job stays behind; a missing file is no error.
        const QString path = job.StripFilePath();
        if (!path.isEmpty())
            QFile::remove(path);
        timedOut = state == TComicDownloadInfo::kTimedOut;
    }

    active_.Remove(&job);
    const int result =
        stored || state == TComicDownloadInfo::kNoUpdate ? state : TComicDownloadInfo::kAborted;
    if (OnJobFinished)
        ReportFailureLater(this, [&] { OnJobFinished(job); });
    const QString comicName = job.ComicName();
    job.OnStatusChange = nullptr;
    job.deleteLater(); // we are inside the job's own handler
    if (TComicDownloadInfo* next = queued_.PopFirst())
        StartJob(next);
    progress_->Update(result);

    if (active_.Count() == 0) {
        host_.SetUpdateCommandEnabled(true);
        host_.SetAbortEnabled(false);
        progress_->Finish();
        if (OnBatchFinished)
            ReportFailureLater(this, [this] { OnBatchFinished(); });
    }
    if (timedOut) {
        // Shown from the loop once the bookkeeping is done, so that a box left open
        // holds up no other job.
        const QString text =
            comicName +
            QStringLiteral(" timed out while contacting the comic server. This could be caused for "
                           "several reason. For example, the server could be temporarily down, you "
                           "are not connected to the internet or your proxy settings are incorrect.");
        QTimer::singleShot(0, this, [text] { platform::MessageBoxService::Error(text); });
    }
}

void TUpdateScheduler::RecordNewStrip(TComicDownloadInfo& job)
{
    // The strip is stored whatever fails here; the job's slot must still be freed.
    ReportFailureLater(this, [&] {
        comics::TComicInfo* comic = job.Comic();
        // Only the comic on screen needs its marker read before the new mark.
        const bool shown = comic == host_.ShownComic();
        const bool hadUnread = shown && db_.FirstUnreadStrip(comic->Name).has_value();
        const auto strip = comics::TComicStrip::FromFileName(job.StripFileName(), db_.Dir());
        if (!strip)
            return;
        db_.MarkUnread(*strip);
        if (shown && !hadUnread)
            host_.ShowNewStrip(*comic, *strip);
        if (ini_.ReadString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"), QString()) == comic->Name)
            host_.SetStripAsWallpaper(*strip);
    });
}

void TUpdateScheduler::AbortAll()
{
    while (TComicDownloadInfo* job = queued_.PopFirst())
        delete job; // never started: nothing of it is pending
    const int n = active_.Count();
    std::vector<TComicDownloadInfo*> running;
    for (int i = 0; i < n; ++i)
        running.push_back(active_.Items(i));
    for (TComicDownloadInfo* job : running)
        job->Abort();
}

void TUpdateScheduler::RunStartupTriggers()
{
    if (ini_.ReadBool(QStringLiteral("Updates"), QStringLiteral("UpdateProgramStart"), true))
        UpdateAllComics();
    if (ini_.ReadBool(QStringLiteral("Updates"), QStringLiteral("UpdateDaily"), false))
        SetDailyTimerEnabled(true);
}

void TUpdateScheduler::SetDailyTimerEnabled(bool enabled)
{
    dailyTimer_->SetEnabled(enabled);
}

bool TUpdateScheduler::DailyTimerEnabled() const
{
    return dailyTimer_->Enabled();
}

void TUpdateScheduler::DailyUpdateTimerTimer()
{
    if (dailyTimer_->Interval() != platform::Tunables::DailyTickMs)
        dailyTimer_->SetInterval(platform::Tunables::DailyTickMs);
    const QTime target = TDailyUpdateRule::ParseUpdateTime(
        ini_.ReadString(QStringLiteral("Updates"), QStringLiteral("UpdateTime"), QStringLiteral("00:00:00")));
    if (!dailyRule_.Tick(platform::Tunables::Now().time(), target))
        return;
    dailyTimer_->SetInterval(5 * platform::Tunables::DailyTickMs);
    UpdateAllComics();
}

} // namespace pw::update
