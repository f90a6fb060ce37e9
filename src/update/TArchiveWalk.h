#pragma once

#include "comics/StripWords.h"
#include "update/TSourceMemory.h"

#include <QByteArray>
#include <QDate>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QBuffer;
class QFile;

namespace pw::comics {
class TComicInfo;
class TComicStripsDB;
} // namespace pw::comics

namespace pw::platform {
class TIniFile;
class Timer;
} // namespace pw::platform

namespace pw::net {
class THttpCli;
}

namespace pw::sources {
struct Feed;
struct HtmlHead;
} // namespace pw::sources

namespace pw::update {

// Fetches a comic's older strips, newest first: the items of the comic's feed older than
// its newest stored strip, then the feed's older pages (RFC 5005 prev-archive and next
// links, else WordPress's "?paged=N"), or for a comic followed by its pages the chain of
// previous-strip links. One request at a time with a pause between requests, the same
// limits as an update, at most MaxStrips strips a run; where it stopped is kept in the
// comic's .source for the next run. The strips are the archive, not news: nothing here
// marks them unread.
class TArchiveWalk : public QObject {
    Q_OBJECT
public:
    enum class TOutcome { Running, Fetched, NothingOlder, Failed, Aborted };
    static constexpr int kDefaultMaxStrips = 100;
    static constexpr int kDefaultPauseMs = 1000; // [Updates] OlderStripsPause
    // A site that asks to wait at most this long is waited for; a longer wait ends the run.
    static constexpr int kLongestWaitSeconds = 60;

    TArchiveWalk(comics::TComicInfo& comic, const comics::TComicStripsDB& db, const platform::TIniFile& ini,
                 int maxStrips = kDefaultMaxStrips, QObject* parent = nullptr);
    ~TArchiveWalk() override;

    void Start();
    // Ends the run from the loop; the strips stored so far stay, and so does the resume point.
    void Abort();

    TOutcome Outcome() const { return outcome_; }
    bool Finished() const { return outcome_ != TOutcome::Running; }
    // The state code the Advanced Info window knows: 1 or 3 while running; 4 strips stored,
    // 5 aborted, 6 nothing older, 8 failed.
    int State() const;
    const QString& StatusText() const { return statusText_; }
    const QString& ComicName() const { return comicName_; }
    comics::TComicInfo* Comic() const { return comic_; }
    int MaxStrips() const { return maxStrips_; }
    int Stored() const { return static_cast<int>(storedFiles_.size()); }
    const QStringList& StoredFiles() const { return storedFiles_; }

    // After every change of the status text, and once more when the run has finished.
    std::function<void(TArchiveWalk&)> OnStatusChange;

private:
    enum class Step { Start, Feed, Page, ItemPage, Picture };
    enum class Stop { End, Cap, Reason, Failure };
    struct Pending {
        QDate Day;
        QString Identity;     // what tells it from the day's other strips (sources::ItemIdentity)
        QString IdKey;        // the feed's own name for it (sources::ItemIdKey)
        QStringList Pictures; // best first, each tried in turn
        QString Page;         // the item's page, asked when no picture is left
        bool PageAsked = false;
        QString Refusal; // why the last picture tried could not be the strip
        comics::StripWords Words;
    };

    void SetStatus(const QString& text);
    void Request(Step step, const QString& address, const QString& text);
    void Send();
    void RequestDone(unsigned error);
    void DocData();
    void TimedOutNow();
    bool CompletedCleanly(unsigned error) const;
    QString FailureReason(unsigned error) const;
    QString HeaderValue(const char* name) const;
    bool WaitForSite(); // a 429 or 503 with Retry-After: true when the request is asked again

    // What a document says (TArchiveWalkDocuments.cpp).
    void StartDocument(const QByteArray& document);
    void FeedDocument(const sources::Feed& feed, bool first);
    void PageDocument(const sources::HtmlHead& head, bool first);
    void ItemPageDocument(const sources::HtmlHead& head);
    // A day the archive may still add strips to: older than the newest stored, and either
    // without strips or with strips whose items are known.
    bool WantedDay(const QDate& day) const;
    bool Wanted(const Pending& strip) const;
    void SetNext(Step step, const QString& address);

    void NextPending();
    void ItemFailed(const QString& reason);
    void StorePicture();
    void GoOn();
    void Finish(Stop stop, const QString& reason = QString());
    void Ended(TOutcome outcome, const QString& text);
    void SaveMemory(bool end);
    void StoreWords();
    void DropPart();

    comics::TComicInfo* comic_;
    const comics::TComicStripsDB& db_;
    const platform::TIniFile& ini_;
    QString comicName_;
    int maxStrips_;
    int pauseMs_ = kDefaultPauseMs;
    std::unique_ptr<net::THttpCli> http_;
    platform::Timer* timeoutTimer_ = nullptr;
    platform::Timer* deadlineTimer_ = nullptr;
    platform::Timer* pauseTimer_ = nullptr;
    QElapsedTimer sinceLastRequest_;
    std::unique_ptr<QBuffer> document_;
    std::unique_ptr<QFile> part_;
    QString partPath_;

    TOutcome outcome_ = TOutcome::Running;
    QString statusText_;
    Step step_ = Step::Start;
    QString address_; // of the request running or waiting
    bool firstAnswer_ = true;
    bool aborting_ = false;
    bool timedOut_ = false;
    QString failure_;
    int waits_ = 0;

    TSourceMemory memory_;
    QDate newestDay_; // strips on or after it are the update's, not the archive's
    std::vector<Pending> pending_;
    std::size_t pendingIndex_ = 0;
    Step nextStep_ = Step::Feed;
    QString next_;       // the document to read once pending_ is done; empty at the archive's start
    QString resumeFrom_; // the document whose strips are being fetched (none: the comic's own)
    QString startNext_;  // what the comic's own document leads to, when a resume point fails
    bool resuming_ = false;
    QSet<QString> visited_;
    QSet<QString> itemsSeen_; // of feed documents, so that a page repeating the last ends the walk
    QStringList storedFiles_;
    QDate lastStoredDay_;              // a run ends at its cap only between days: none is cut in two
    std::vector<Pending> storedItems_; // day, identity and id key, for .source
    // The stored strips' words not yet written: one rewrite of the file per document.
    std::vector<std::pair<QString, comics::StripWords>> words_;
    int failedItems_ = 0;
    QString firstFailure_;
};

} // namespace pw::update
