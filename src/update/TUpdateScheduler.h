#pragma once

#include "update/TComicDownloads.h"
#include "update/TComicQueue.h"
#include "update/TDailyUpdateRule.h"

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace pw::comics {
class TComicInfo;
class TComicsList;
class TComicStripsDB;
} // namespace pw::comics

namespace pw::platform {
class TIniFile;
class Timer;
} // namespace pw::platform

namespace pw::update {

class IUpdateHost;
class TAdvancedInfoSystem;
class TComicDownloadInfo;
class TDownloadProgress;

// Runs update jobs, at most Downloads/MaxSimDownloads at once, queues the rest, does
// the work after each finished job and holds the triggers (commands, start-up, the
// daily timer). Owns the jobs.
class TUpdateScheduler : public QObject {
    Q_OBJECT
public:
    TUpdateScheduler(platform::TIniFile& ini, const comics::TComicStripsDB& db,
                     const comics::TComicsList& comicsToGet, TAdvancedInfoSystem& info, IUpdateHost& host,
                     QObject* parent = nullptr);
    ~TUpdateScheduler() override;

    // Nothing when the comic is running, queued, or still to be added by "&Update Comics".
    void UpdateComic(const QString& name);
    // Every chosen comic, in list order: as many as fit in a short slice at once, the
    // rest in the next turns of the event loop. The batch stays open until the last is
    // added.
    void UpdateAllComics();
    // The abort button (and "&Abort All Updates"): comics not yet added and queued jobs
    // are dropped, running ones aborted; they report their end later.
    void AbortAll();
    // Start-up: the update at program start and the daily timer, as the settings say.
    void RunStartupTriggers();
    void SetDailyTimerEnabled(bool enabled);
    bool DailyTimerEnabled() const;

    const TComicDownloads& ActiveDownloads() const { return active_; }
    const TComicQueue& QueuedDownloads() const { return queued_; }
    // Jobs run, or "&Update Comics" has comics still to add: the batch is open.
    bool Busy() const { return active_.Count() > 0 || adding_; }
    const TDownloadProgress* Progress() const { return progress_.get(); }

    // After each finished job, before it is freed: (comic name, final status text, state).
    std::function<void(const TComicDownloadInfo&)> OnJobFinished;
    // When the last running job has finished (the summary is showing).
    std::function<void()> OnBatchFinished;

private:
    void DailyUpdateTimerTimer();
    void UpdateComic(comics::TComicInfo& comic, int limit, bool showAdvancedInfo);
    void AddChosenComics();
    void FinishSlice(int totalBefore);
    void EndBatchIfDone();
    TDownloadProgress& EnsureProgress();
    void DownloadStatusChanged(TComicDownloadInfo& job);
    // The job of a comic whose turn has come, made and started.
    void StartJob(comics::TComicInfo& comic, bool folderIsNew);
    void RecordNewStrip(TComicDownloadInfo& job);
    int Limit() const;

    platform::TIniFile& ini_;
    const comics::TComicStripsDB& db_;
    const comics::TComicsList& comicsToGet_;
    TAdvancedInfoSystem& info_;
    IUpdateHost& host_;
    TComicDownloads active_;
    TComicQueue queued_;
    std::unique_ptr<TDownloadProgress> progress_;
    // The state each running job was last counted with in the progress bar.
    std::unordered_map<const TComicDownloadInfo*, int> countedStates_;
    bool addingAll_ = false; // a slice shows the new total once, at its end
    // The comics of "&Update Comics" not yet added, in list order. The entries belong to
    // the catalogue for the whole run, so the chosen list may be rebuilt meanwhile.
    std::deque<comics::TComicInfo*> toAdd_;
    std::unordered_set<const comics::TComicInfo*> toAddSet_;
    bool adding_ = false;         // toAdd_ is being worked off, a slice is booked
    bool timeoutBoxOpen_ = false; // the time-out box is booked or showing
    platform::Timer* dailyTimer_;
    TDailyUpdateRule dailyRule_;
};

} // namespace pw::update
