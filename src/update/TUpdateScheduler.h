#pragma once

#include "update/TComicDownloads.h"
#include "update/TDailyUpdateRule.h"

#include <QObject>
#include <functional>
#include <memory>

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

    void UpdateComic(const QString& name);
    void UpdateAllComics();
    // The abort button (and "&Abort All Updates"): queued jobs are dropped, running
    // ones aborted; they report their end later.
    void AbortAll();
    // Start-up: the update at program start and the daily timer, as the settings say.
    void RunStartupTriggers();
    void SetDailyTimerEnabled(bool enabled);
    bool DailyTimerEnabled() const;
    // One tick of the daily timer (public for tests).
    void DailyUpdateTimerTimer();

    const TComicDownloads& ActiveDownloads() const { return active_; }
    const TComicDownloads& QueuedDownloads() const { return queued_; }
    bool Busy() const { return active_.Count() > 0; }
    const TDownloadProgress* Progress() const { return progress_.get(); }

    // After each finished job, before it is freed: (comic name, final status text, state).
    std::function<void(const TComicDownloadInfo&)> OnJobFinished;
    // When the last running job has finished (the summary is showing).
    std::function<void()> OnBatchFinished;

private:
    void UpdateComic(const QString& name, int limit, bool showAdvancedInfo);
    void UpdateComic(comics::TComicInfo& comic, int limit, bool showAdvancedInfo);
    void DownloadStatusChanged(TComicDownloadInfo& job);
    void StartJob(TComicDownloadInfo* job);
    void RecordNewStrip(TComicDownloadInfo& job);
    int Limit() const;

    platform::TIniFile& ini_;
    const comics::TComicStripsDB& db_;
    const comics::TComicsList& comicsToGet_;
    TAdvancedInfoSystem& info_;
    IUpdateHost& host_;
    TComicDownloads active_;
    TComicDownloads queued_;
    std::unique_ptr<TDownloadProgress> progress_;
    bool addingAll_ = false; // UpdateAllComics shows the new total once, at its end
    platform::Timer* dailyTimer_;
    TDailyUpdateRule dailyRule_;
};

} // namespace pw::update
