#pragma once

#include "comics/StripWords.h"
#include "platform/FileStamp.h"
#include "update/LastModified.h"
#include "update/TSourceMemory.h"

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFile;
class QBuffer;

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
struct FeedItem;
struct HtmlHead;
} // namespace pw::sources

namespace pw::update {

// Brings one comic up to date: asks its page, compares the page's Last-modified date
// with the stored strips, and when the date is new reads the page, finds the strip
// image and downloads it into the comic's folder. An answer that is not the built-in
// site's page format is followed by content: a feed (several new strips at once), a
// page linking a feed, or a page naming its picture. Every job ends in a final state.
class TComicDownloadInfo : public QObject {
    Q_OBJECT
public:
    // State codes; 4 and above are final.
    static constexpr int kQueued = -1;
    static constexpr int kContacting = 0;
    static constexpr int kLooking = 1;
    static constexpr int kNewStripFound = -3;
    static constexpr int kNoNewStripAborting = -4;
    static constexpr int kGettingInfo = 2;
    static constexpr int kGettingStrip = 3;
    static constexpr int kNoStripInInfo = -5;
    static constexpr int kAbortRequested = -2;
    static constexpr int kNewStrip = 4;
    static constexpr int kAborted = 5;
    static constexpr int kNoUpdate = 6;
    static constexpr int kTimedOut = 7;
    static constexpr int kFailed = 8; // host unreachable, bad response, no strip, ...

    static constexpr qint64 kMaxPageBytes = 8 * 1024 * 1024; // the strip's cap is a tunable
    static constexpr std::size_t kMaxNewStrips = 10;         // per update, from a feed

    static bool IsFinal(int state) { return state >= kNewStrip && state <= kFailed; }

    TComicDownloadInfo(comics::TComicInfo& comic, const comics::TComicStripsDB& db,
                       const platform::TIniFile& ini, QObject* parent = nullptr);
    ~TComicDownloadInfo() override;

    void Start();
    void Abort();
    // The comic's folder was made, empty, when the job was queued: until the job stores
    // something there, nothing in it needs looking for.
    void SetFolderIsNew(bool Value) { folderIsNew_ = Value; }

    int State() const { return state_; }
    const QString& StatusText() const { return statusText_; }
    const QString& ComicName() const { return comicName_; }
    comics::TComicInfo* Comic() const { return comic_; }
    qint64 DownloadedSize() const { return downloadedSize_; }
    const QString& Extension() const { return extension_; }
    bool TimedOut() const { return timedOut_; }
    quint16 Year() const { return year_; }
    quint16 Month() const { return month_; }
    quint16 Day() const { return day_; }

    QString StripFileName() const; // empty until the date and extension are known
    QString StripFilePath() const; // empty when StripFileName is
    // Every strip file this job stored, oldest first (for the comic site's page, the one
    // StripFileName names).
    const QStringList& NewStripFiles() const { return newStrips_; }

    std::function<void(TComicDownloadInfo&)> OnStatusChange;
    // Debug log lines ("<comic>: <header line>"); skipped when empty.
    std::function<void(const QString&)> OnLog;

private:
    void CreateClient();
    void SetState(int state, const QString& text);
    void Notify();
    void Log(const QString& text);
    void HeaderBegin();
    void HeaderData();
    void DocBegin();
    void DocData();
    void CheckBodySize(qint64 bytes);
    void FailNow(const QString& reason);
    void RequestDone(unsigned error);
    void TimeoutExpired();
    void RestartTimer();
    void StartImageRequest(const QString& address);
    bool CompletedCleanly(unsigned error) const;
    QString FailureReason(unsigned error) const;
    void DiscardStreams();
    QString PartPath() const;
    // Opens path as the new partial strip file that stripFile_ writes; false when it cannot.
    bool OpenStripFile(const QString& path);

    // Following a feed or a page with a picture (TComicDownloadInfoSources.cpp).
    enum class Step { Page, Feed, ItemPage, HomePage, Picture };
    // One strip to fetch: each is its own attempt, whatever becomes of the others.
    struct PendingStrip {
        QDate Day;
        QStringList Pictures;   // best first, each tried in turn
        QStringList LastResort; // thumbnails: only when the item's page names nothing
        QString Page;           // the item's page, asked when no picture is left
        bool PageAsked = false;
        QString FirstPicture;     // what the item named, remembered for a retry
        QString Refusal;          // why the last picture fetched could not be the strip
        bool Unshowable = false;  // ... because of its format: asking again will not help
        comics::StripWords Words; // kept beside the strip
        QString IdKey;            // the feed's own name for the item (sources::ItemIdKey)
        // What tells the item from the day's others (sources::ItemIdentity).
        const QString& Identity() const { return FirstPicture.isEmpty() ? Page : FirstPicture; }
    };
    bool WaitingForSite();
    void AddValidators(QByteArray& line) const;
    QString HeaderValue(const char* name) const;
    // The site a strip address on the page is joined to: the page's own, redirects applied.
    QString PageSite() const;
    bool EndedByStatus(unsigned error);
    void RememberPageAnswer();
    // False, with nothing changed, when the document is no feed and names no feed or
    // picture.
    bool FollowSource(const QByteArray& document, const QString& address);
    void FollowFeed(const sources::Feed& feed);
    PendingStrip PendingFor(const QDate& day, const sources::FeedItem& item) const;
    void FollowPagePicture(const sources::HtmlHead& head);
    void UsePagePicture(const QString& picture);
    // True when the page's card picture can only be judged against the home page's, which
    // is then asked (once per job).
    bool AskHomePage(const sources::HtmlHead& head, bool forComicPage);
    // The picture of the page just received, judged against its home page when known.
    QString PictureOfPage(const sources::HtmlHead& head) const;
    void ItemFailed(const QString& reason, bool permanent);
    QByteArray AnswerCharset() const;
    bool OnComicSite() const; // the comic's page is on the built-in comic site
    QString NoPictureText() const;
    comics::StripWords pageWords_; // of a page comic's page
    void StartDocument(Step step, const QString& address, const QString& text);
    void StartNextPending();
    void StartPicture(const PendingStrip& strip, const QString& picture);
    void DropPartFile();
    void SourceRequestDone(unsigned error);
    void StorePicture();
    void FinishSources(const QString& failure);
    void SaveMemory();
    void StartRequest();
    QString MemoryPath() const;

    comics::TComicInfo* comic_;
    const comics::TComicStripsDB& db_;
    const platform::TIniFile& ini_;
    QString comicName_;
    std::unique_ptr<net::THttpCli> http_;
    platform::Timer* timeoutTimer_ = nullptr;
    platform::Timer* deadlineTimer_ = nullptr; // the whole job, however busy the server keeps it
    std::unique_ptr<QBuffer> page_;
    std::unique_ptr<QFile> stripFile_;
    QString partPath_; // the file stripFile_ writes (a QFile opened on a descriptor has no name)
    int state_ = kQueued;
    QString statusText_ = QStringLiteral("Queued.");
    QString extension_;
    quint16 year_ = 0;
    quint16 month_ = 0;
    quint16 day_ = 0;
    qint64 downloadedSize_ = 0;
    bool timedOut_ = false;
    bool examineHeaders_ = true;
    bool folderIsNew_ = false;
    bool badDate_ = false;       // a Last-modified line held no usable date
    bool ownAnswerSeen_ = false; // the comic's own address was asked
    QString failure_;

    Step step_ = Step::Page;
    std::vector<PendingStrip> pending_;
    std::size_t pendingIndex_ = 0;
    QStringList newStrips_;
    QString firstFailure_;     // the first item that failed, why
    int failedItems_ = 0;      // items that failed this time (and may be tried again)
    int noPictureItems_ = 0;   // items that named no picture, nor did their page
    std::size_t leftOver_ = 0; // new feed items beyond the update's limit, left for Fetch Older
    QString homeAddress_;      // the home page whose card picture is known (homeCard_)
    QString homeCard_;
    std::unique_ptr<sources::HtmlHead> awaitingHome_; // the page judged once the home page is known
    bool homeForComicPage_ = false;
    TSourceMemory memory_;
    // The file memory_ was read from, as it was then: a walk through the comic's archive
    // that wrote it meanwhile shows here.
    std::optional<platform::FileStamp> memoryStamp_;
    TSourceMemory answer_; // the validators of this run's answer for the comic's address
    bool answerKnown_ = false;
    TSourceMemory feedAnswer_; // the same for the feed the comic's page links
    bool feedAnswerKnown_ = false;
    bool memoryChanged_ = false;
    bool pageFollowed_ = false; // the comic's address is a page naming its picture
    bool incomplete_ = false;   // some new strips were stored, then a request failed
};

} // namespace pw::update
