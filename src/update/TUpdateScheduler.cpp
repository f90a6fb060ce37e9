#include "update/TUpdateScheduler.h"

#include "comics/TComicInfo.h"
#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/Timer.h"
#include "platform/TimerTurn.h"
#include "platform/Tunables.h"
#include "update/IUpdateHost.h"
#include "update/SimDownloads.h"
#include "update/TAdvancedInfoSystem.h"
#include "update/TComicDownloadInfo.h"
#include "update/TDownloadProgress.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
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
        platform::RunOnTimerTurn(context,
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
    comics::TComicInfo* comic = comicsToGet_.FindByName(name);
    // A comic that "&Update Comics" has still to add comes in its turn, in list order.
    if (comic && !toAddSet_.contains(comic))
        UpdateComic(*comic, Limit(),
                    ini_.ReadBool(QStringLiteral("Updates"), QStringLiteral("ShowAdvancedInfo"), false));
}

TDownloadProgress& TUpdateScheduler::EnsureProgress()
{
    if (!progress_) {
        progress_ = std::make_unique<TDownloadProgress>(
            host_, [this] { return active_.Count(); }, [this] { return queued_.Count(); });
    }
    return *progress_;
}

void TUpdateScheduler::UpdateComic(comics::TComicInfo& info, int limit, bool showAdvancedInfo)
{
    comics::TComicInfo* comic = &info;
    if (active_.ContainsComic(comic) || queued_.ContainsComic(comic))
        return;
    host_.SetAbortEnabled(true);
    if (showAdvancedInfo)
        host_.ShowAdvancedInfoWindow();
    EnsureProgress().AddComic(!addingAll_);

    bool made = false;
    if (comics::TComicStripsDB::IsUsableName(comic->Name) && !comic->Name.isEmpty()) {
        // One call whether or not the folder exists; the comics folder itself is made
        // again only when it went missing. A folder made here is empty, which spares the
        // job looking into it.
        const QString folder = db_.ComicFolder(comic->Name);
        made = ::mkdir(QFile::encodeName(folder).constData(), 0777) == 0;
        if (!made && errno == ENOENT)
            made = QDir().mkpath(folder);
    }

    if (active_.Count() < limit)
        StartJob(*comic, made);
    else
        queued_.Add(comic, made);
}

void TUpdateScheduler::UpdateAllComics()
{
    // The comics chosen now, each name once (a name stands for its first comic in the
    // list, as when asked for by name), less those running, queued or still to be added.
    QSet<QString> names;
    names.reserve(comicsToGet_.Count());
    for (int i = 0; i < comicsToGet_.Count(); ++i) {
        comics::TComicInfo* comic = comicsToGet_.GetItem(i);
        if (names.contains(comic->Name))
            continue;
        names.insert(comic->Name);
        if (active_.ContainsComic(comic) || queued_.ContainsComic(comic) || toAddSet_.contains(comic))
            continue;
        toAdd_.push_back(comic);
        toAddSet_.insert(comic);
    }
    // While an earlier command is still adding, its slices take these too.
    if (adding_ || toAdd_.empty())
        return;
    adding_ = true;
    AddChosenComics();
}

void TUpdateScheduler::AddChosenComics()
{
    // Read once a slice: the settings may change between slices, not within one.
    const int limit = Limit();
    const bool showAdvancedInfo =
        ini_.ReadBool(QStringLiteral("Updates"), QStringLiteral("ShowAdvancedInfo"), false);
    const int totalBefore = progress_ ? progress_->Total() : 0;
    // Whatever becomes of this slice's comics, the rest follow and the batch can end.
    const auto finish = qScopeGuard([this, totalBefore] { FinishSlice(totalBefore); });
    addingAll_ = true;
    QElapsedTimer slice;
    slice.start();
    while (!toAdd_.empty()) {
        comics::TComicInfo* comic = toAdd_.front();
        toAdd_.pop_front();
        toAddSet_.erase(comic);
        UpdateComic(*comic, limit, showAdvancedInfo);
        if (slice.elapsed() >= platform::Tunables::AddComicsSliceMs)
            break;
    }
}

void TUpdateScheduler::FinishSlice(int totalBefore)
{
    addingAll_ = false;
    // The label and bar show the new total once a slice, not once per comic.
    if (progress_ && progress_->Total() != totalBefore)
        progress_->ShowTotal();
    if (!toAdd_.empty()) {
        QTimer::singleShot(0, this, [this] { platform::Guarded([this] { AddChosenComics(); }); });
        return;
    }
    adding_ = false;
    EndBatchIfDone();
}

void TUpdateScheduler::EndBatchIfDone()
{
    if (adding_ || active_.Count() > 0)
        return;
    host_.SetUpdateCommandEnabled(true);
    host_.SetAbortEnabled(false);
    EnsureProgress().Finish();
    if (OnBatchFinished)
        ReportFailureLater(this, [this] { OnBatchFinished(); });
}

void TUpdateScheduler::StartJob(comics::TComicInfo& comic, bool folderIsNew)
{
    auto* job = new TComicDownloadInfo(comic, db_, ini_, this);
    job->OnStatusChange = [this](TComicDownloadInfo& j) { DownloadStatusChanged(j); };
    if (host_.KeepsDebugLog())
        job->OnLog = [this](const QString& line) { host_.AppendDebugLog(line); };
    job->SetFolderIsNew(folderIsNew);
    active_.Add(job);
    countedStates_.emplace(job, job->State());
    info_.AssignSlot(job->ComicName());
    job->Start();
}

void TUpdateScheduler::DownloadStatusChanged(TComicDownloadInfo& job)
{
    info_.ShowStatus(job.ComicName(), job.StatusText(), job.State());
    const int state = job.State();
    if (const auto counted = countedStates_.find(&job); counted != countedStates_.end()) {
        const bool ended = TComicDownloadInfo::IsFinal(state);
        // An ending job leaves the running ones with the part it had in the bar.
        progress_->JobMoved(counted->second, ended ? TComicDownloadInfo::kQueued : state);
        if (ended)
            countedStates_.erase(counted);
        else
            counted->second = state;
    }
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
        // Nothing of a failed job stays behind: its part file went with it, and only an
        // empty strip it stored is its own to delete (a missing file is no error). A strip
        // of that name that another process stored meanwhile stays.
        const QString path = job.StripFilePath();
        if (!path.isEmpty() && state == TComicDownloadInfo::kNewStrip)
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
    if (const std::optional<TComicQueue::Entry> next = queued_.PopFirst())
        StartJob(*next->Comic, next->FolderIsNew);
    progress_->Update(result);
    EndBatchIfDone();
    if (timedOut && !timeoutBoxOpen_) {
        // Shown from the loop once the bookkeeping is done, so that a box left open
        // holds up no other job. Comics that time out while it is open get no box of
        // their own (their results say it): stalled comics must not stack boxes.
        timeoutBoxOpen_ = true;
        const QString text =
            comicName +
            QStringLiteral(" timed out while contacting the comic server. This could be caused for "
                           "several reason. For example, the server could be temporarily down, you "
                           "are not connected to the internet or your proxy settings are incorrect.");
        platform::RunOnTimerTurn(this, [this, text] {
            const auto closed = qScopeGuard([this] { timeoutBoxOpen_ = false; });
            platform::MessageBoxService::Error(text);
        });
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
        // A feed can bring several strips: marked unread oldest first, the oldest shown,
        // the newest made the wallpaper.
        std::optional<comics::TComicStrip> first, last;
        for (const QString& name : job.NewStripFiles()) {
            const auto strip = comics::TComicStrip::FromFileName(name, db_.Dir());
            if (!strip)
                continue;
            db_.MarkUnread(*strip);
            if (!first)
                first = strip;
            last = strip;
        }
        if (!first)
            return;
        if (shown && !hadUnread)
            host_.ShowNewStrip(*comic, *first);
        if (ini_.ReadString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"), QString()) == comic->Name)
            host_.SetStripAsWallpaper(*last);
    });
}

void TUpdateScheduler::AbortAll()
{
    // Comics not yet added are dropped and count as failed, like the queued jobs below;
    // the booked slice finds none left and closes the batch when no job runs.
    if (!toAdd_.empty()) {
        for (size_t i = 0; i < toAdd_.size(); ++i)
            EnsureProgress().AddComic(false);
        EnsureProgress().ShowTotal();
        toAdd_.clear();
        toAddSet_.clear();
    }
    queued_.Clear(); // never started: nothing of them is pending
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
    if (enabled)
        dailyTimer_->SetInterval(platform::Tunables::DailyTickMs); // ticks afresh
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
