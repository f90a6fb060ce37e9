#include "update/TArchiveWalk.h"

#include "comics/StripWordsFile.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "net/THttpCli.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/Timer.h"
#include "platform/Tunables.h"
#include "sources/FeedPages.h"
#include "update/SiteAddress.h"
#include "update/StripDay.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pw::update {

namespace {

constexpr qint64 kMaxDocumentBytes = 8 * 1024 * 1024;
constexpr int kMostWaits = 3; // for one request: a site that keeps asking is not waited for again

QString WaitText(const QDateTime& until)
{
    return QStringLiteral("the site asks to wait until ") +
           until.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString StripsText(int n)
{
    return n == 1 ? QStringLiteral("1 older strip stored") : QStringLiteral("%1 older strips stored").arg(n);
}

} // namespace

TArchiveWalk::TArchiveWalk(comics::TComicInfo& comic, const comics::TComicStripsDB& db,
                           const platform::TIniFile& ini, int maxStrips, QObject* parent)
    : QObject(parent), comic_(&comic), db_(db), ini_(ini), comicName_(comic.Name),
      maxStrips_(qMax(1, maxStrips)), statusText_(QStringLiteral("Queued."))
{
}

TArchiveWalk::~TArchiveWalk()
{
    if (http_)
        http_->ReceiveStream = nullptr;
    DropPart();
    StoreWords(); // of a run ended with the program
}

int TArchiveWalk::State() const
{
    switch (outcome_) {
    case TOutcome::Running:
        return step_ == Step::Picture ? 3 : 1;
    case TOutcome::Fetched:
        return 4;
    case TOutcome::Aborted:
        return 5;
    case TOutcome::NothingOlder:
        return 6;
    case TOutcome::Failed:
        break;
    }
    return 8;
}

void TArchiveWalk::SetStatus(const QString& text)
{
    statusText_ = text;
    if (OnStatusChange)
        OnStatusChange(*this);
}

void TArchiveWalk::Start()
{
    if (comicName_.isEmpty() || !comics::TComicStripsDB::IsUsableName(comicName_)) {
        Ended(TOutcome::Failed, QStringLiteral("Failed: the comic name cannot be used as a folder name"));
        return;
    }
    memory_ = TSourceMemory::Load(TSourceMemory::PathIn(db_.ComicFolder(comicName_)));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (memory_.Waits(now)) {
        Ended(TOutcome::Failed, QStringLiteral("Failed: ") + WaitText(memory_.WaitUntil));
        return;
    }
    memory_.WaitUntil = QDateTime(); // over: only a new one is written back
    if (const auto newest = db_.NewestStrip(comicName_))
        newestDay_ = NewestStoredDay(newest->Date, now);
    pauseMs_ = qMax(
        0, ini_.ReadInteger(QStringLiteral("Updates"), QStringLiteral("OlderStripsPause"), kDefaultPauseMs));

    http_ = std::make_unique<net::THttpCli>();
    http_->Agent = QStringLiteral("Panelwick/") + QStringLiteral(PANELWICK_VERSION);
    if (ini_.ReadBool(QStringLiteral("Proxy"), QStringLiteral("UseProxy"), false)) {
        http_->Proxy = ini_.ReadString(QStringLiteral("Proxy"), QStringLiteral("ProxyIP"), QString());
        http_->ProxyPort = ini_.ReadString(QStringLiteral("Proxy"), QStringLiteral("ProxyPort"), QString());
    }
    http_->OnHeaderData = [this](net::THttpCli*) { timeoutTimer_->SetEnabled(true); };
    http_->OnDocBegin = [this](net::THttpCli*) { DocData(); };
    http_->OnDocData = [this](net::THttpCli*, const char*, qint64) { DocData(); };
    http_->OnRequestDone = [this](net::THttpCli*, net::THttpRequest, std::uint16_t error) {
        RequestDone(error);
    };
    timeoutTimer_ = new platform::Timer(this);
    timeoutTimer_->OnTimer = [this] { TimedOutNow(); };
    deadlineTimer_ = new platform::Timer(this);
    deadlineTimer_->OnTimer = [this] { TimedOutNow(); };
    pauseTimer_ = new platform::Timer(this);
    pauseTimer_->OnTimer = [this] {
        pauseTimer_->SetEnabled(false);
        Send();
    };
    Request(Step::Start, PageAddress(comic_->PageURL), QStringLiteral("Contacting comic host..."));
}

void TArchiveWalk::Abort()
{
    if (Finished() || aborting_)
        return;
    aborting_ = true;
    if (http_ && http_->ClientState() != net::THttpState::Ready) {
        http_->Abort(); // its completion ends the run
        return;
    }
    if (pauseTimer_)
        pauseTimer_->SetEnabled(false);
    // Between requests: end from the loop, as a completion would.
    QTimer::singleShot(0, this, [this] {
        if (!Finished())
            Finish(Stop::Failure);
    });
}

void TArchiveWalk::Request(Step step, const QString& address, const QString& text)
{
    step_ = step;
    address_ = address;
    SetStatus(text);
    // One request at a time, and a pause after each: the archive is no reason to hurry a site.
    const qint64 rest = sinceLastRequest_.isValid() ? pauseMs_ - sinceLastRequest_.elapsed() : 0;
    if (rest > 0) {
        pauseTimer_->SetInterval(static_cast<int>(rest));
        pauseTimer_->SetEnabled(true);
        return;
    }
    Send();
}

void TArchiveWalk::Send()
{
    if (aborting_) {
        Finish(Stop::Failure);
        return;
    }
    failure_.clear();
    timedOut_ = false;
    http_->URL = address_;
    if (step_ == Step::Picture) {
        http_->ReceiveStream = part_.get();
    } else {
        document_ = std::make_unique<QBuffer>();
        document_->open(QIODevice::WriteOnly);
        http_->ReceiveStream = document_.get();
    }
    timeoutTimer_->SetInterval(platform::Tunables::JobTimeoutMs);
    timeoutTimer_->SetEnabled(true);
    deadlineTimer_->SetInterval(platform::Tunables::JobDeadlineMs());
    deadlineTimer_->SetEnabled(true);
    try {
        http_->StartGet();
    } catch (const platform::Exception& e) {
        failure_ = e.Message();
        QTimer::singleShot(0, this, [this] { RequestDone(0); });
    }
}

void TArchiveWalk::DocData()
{
    timeoutTimer_->SetEnabled(true);
    if (!failure_.isEmpty() || http_->ClientState() != net::THttpState::ReadingBody)
        return;
    const qint64 bytes = qMax(http_->BodyBytes(), http_->ResponseLength());
    const qint64 limit = step_ == Step::Picture ? platform::Tunables::MaxStripBytes : kMaxDocumentBytes;
    if (bytes > limit) {
        failure_ = step_ == Step::Picture
                       ? QStringLiteral("the strip %1 is larger than %2 MB").arg(address_).arg(limit >> 20)
                       : QStringLiteral("%1 is larger than %2 MB").arg(address_).arg(limit >> 20);
        http_->Abort();
    }
}

void TArchiveWalk::TimedOutNow()
{
    timeoutTimer_->SetEnabled(false);
    deadlineTimer_->SetEnabled(false);
    timedOut_ = true;
    http_->Abort();
}

bool TArchiveWalk::CompletedCleanly(unsigned error) const
{
    const int status = http_->ResponseStatus();
    const qint64 length = http_->ResponseLength();
    return error == 0 && failure_.isEmpty() && status >= 200 && status < 300 &&
           (length < 0 || http_->BodyBytes() == length);
}

QString TArchiveWalk::FailureReason(unsigned error) const
{
    if (timedOut_)
        return QStringLiteral("%1 did not answer in time").arg(address_);
    if (!failure_.isEmpty())
        return failure_;
    switch (error) {
    case 0:
        break;
    case net::HttpError::IncompleteBody:
        return QStringLiteral("the connection ended before the whole of %1 arrived").arg(address_);
    case net::HttpError::Downgrade:
        return QStringLiteral("%1 redirected from https to http").arg(address_);
    case net::HttpError::LocalRedirect:
        return QStringLiteral("%1 redirected to an address in the local network").arg(address_);
    case net::HttpError::LocalAddress:
        return QStringLiteral("the comic's site names an address in the local network (%1)").arg(address_);
    default: {
        const QString& reason = http_->ResponseReason();
        return QStringLiteral("%1: %2").arg(
            address_, reason.isEmpty() ? QStringLiteral("error #%1").arg(error) : reason);
    }
    }
    const int status = http_->ResponseStatus();
    if (status < 200 || status >= 300)
        return QStringLiteral("the server answered %1 %2 for %3")
            .arg(status)
            .arg(http_->ResponseReason(), address_)
            .simplified();
    return QStringLiteral("the connection ended before the whole of %1 arrived").arg(address_);
}

QString TArchiveWalk::HeaderValue(const char* name) const
{
    const QString prefix = QLatin1String(name) + QLatin1Char(':');
    for (const QString& line : http_->ResponseHeader())
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size()).trimmed();
    return {};
}

bool TArchiveWalk::WaitForSite()
{
    const int status = http_->ResponseStatus();
    if (status != 429 && status != 503)
        return false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime until = RetryAfterTime(HeaderValue("Retry-After"), now);
    if (!until.isValid())
        return false;
    if (now.secsTo(until) > kLongestWaitSeconds || waits_ >= kMostWaits) {
        memory_.WaitUntil = until;
        failure_ = WaitText(until);
        return false;
    }
    ++waits_;
    if (step_ == Step::Picture) {
        // The part file is written afresh.
        part_->resize(0);
        part_->seek(0);
    }
    statusText_ = QStringLiteral("Waiting for the site...");
    if (OnStatusChange)
        OnStatusChange(*this);
    pauseTimer_->SetInterval(static_cast<int>(qMax<qint64>(now.msecsTo(until), pauseMs_)));
    pauseTimer_->SetEnabled(true);
    return true;
}

void TArchiveWalk::RequestDone(unsigned error)
{
    timeoutTimer_->SetEnabled(false);
    deadlineTimer_->SetEnabled(false);
    sinceLastRequest_.start();
    if (http_->ReceiveStream == document_.get())
        http_->ReceiveStream = nullptr;
    if (aborting_) {
        Finish(Stop::Failure);
        return;
    }
    if (firstAnswer_) {
        // What the comic's answer leads to is asked inside the local network only when
        // the comic itself lives there.
        firstAnswer_ = false;
        http_->RefuseLocalAddress = !http_->ServerIsLocal();
    }
    if (error == 0 && failure_.isEmpty() && WaitForSite())
        return;
    waits_ = 0;
    if (memory_.WaitUntil.isValid()) { // longer than a run waits: the whole walk stops
        document_.reset();
        Finish(Stop::Failure, failure_);
        return;
    }
    const QByteArray document = document_ ? document_->data() : QByteArray();
    document_.reset();
    if (!CompletedCleanly(error)) {
        const int status = http_->ResponseStatus();
        const bool gone = error == 0 && failure_.isEmpty() && (status == 404 || status == 410);
        if (step_ == Step::Picture || step_ == Step::ItemPage) {
            ItemFailed(FailureReason(error));
        } else if (gone && resuming_ && address_ == resumeFrom_) {
            // The remembered place is gone: start over from the comic's own document,
            // passing over what is stored.
            resuming_ = false;
            resumeFrom_.clear();
            next_ = startNext_;
            GoOn();
        } else if (error == 0 && failure_.isEmpty() && step_ == Step::Feed &&
                   sources::PagedFeedNumber(address_) >= 2) {
            // Past a WordPress feed's last page (404), or a site that has no such pages.
            Finish(Stop::End);
        } else {
            Finish(Stop::Failure, FailureReason(error));
        }
        return;
    }
    if (step_ == Step::Picture)
        StorePicture();
    else
        StartDocument(document);
}

void TArchiveWalk::DropPart()
{
    if (!part_)
        return;
    if (http_ && http_->ReceiveStream == part_.get())
        http_->ReceiveStream = nullptr;
    part_->close();
    QFile::remove(partPath_);
    part_.reset();
}

void TArchiveWalk::Finish(Stop stop, const QString& reason)
{
    DropPart();
    StoreWords();
    const bool end = stop == Stop::End;
    SaveMemory(end);
    const int n = Stored();
    QString failures;
    if (failedItems_ > 0)
        failures = QStringLiteral("; %1 could not be fetched (%2)").arg(failedItems_).arg(firstFailure_);
    if (aborting_) {
        Ended(TOutcome::Aborted, n > 0 ? QStringLiteral("Aborted by user (%1)").arg(StripsText(n))
                                       : QStringLiteral("Aborted by user"));
        return;
    }
    switch (stop) {
    case Stop::End:
    case Stop::Cap:
        if (n == 0) {
            Ended(failedItems_ > 0 ? TOutcome::Failed : TOutcome::NothingOlder,
                  failedItems_ > 0 ? QStringLiteral("Failed: %1").arg(firstFailure_)
                                   : QStringLiteral("No older strip found"));
            return;
        }
        Ended(TOutcome::Fetched, StripsText(n) +
                                     (end ? QStringLiteral("; no older strip is left")
                                          : QStringLiteral("; more are left for the next run")) +
                                     failures);
        return;
    case Stop::Reason:
        if (n == 0)
            Ended(TOutcome::Failed, QStringLiteral("Failed: ") + reason);
        else
            Ended(TOutcome::Fetched, StripsText(n) + QStringLiteral("; stopped: ") + reason + failures);
        return;
    case Stop::Failure:
        Ended(TOutcome::Failed, QStringLiteral("Failed: ") + reason +
                                    (n > 0 ? QStringLiteral(" (%1)").arg(StripsText(n)) : QString()));
        return;
    }
}

void TArchiveWalk::Ended(TOutcome outcome, const QString& text)
{
    if (timeoutTimer_) {
        timeoutTimer_->SetEnabled(false);
        deadlineTimer_->SetEnabled(false);
        pauseTimer_->SetEnabled(false);
    }
    outcome_ = outcome;
    SetStatus(text);
}

void TArchiveWalk::SaveMemory(bool end)
{
    if (!comics::TComicStripsDB::IsUsableName(comicName_) || !QFileInfo(db_.ComicFolder(comicName_)).isDir())
        return;
    // Read again: an update of the comic may have written its own part meanwhile.
    const QString path = TSourceMemory::PathIn(db_.ComicFolder(comicName_));
    TSourceMemory now = TSourceMemory::Load(path);
    if (end) {
        now.OlderFrom.clear();
        now.OlderEnd = true;
    } else if (!resumeFrom_.isEmpty()) {
        now.OlderFrom = resumeFrom_;
    }
    if (memory_.WaitUntil.isValid())
        now.WaitUntil = memory_.WaitUntil;
    // Known by identity, so that the rest of a day is told apart later; the oldest days
    // give way first when the memory is full, never an update's newest.
    for (const Pending& item : storedItems_)
        now.Stored(item.Day, item.Identity, item.IdKey);
    storedItems_.clear();
    memory_.OlderFrom = now.OlderFrom;
    memory_.OlderEnd = now.OlderEnd;
    now.Save(path); // unwritten, the next run starts over and passes over what is stored
}

} // namespace pw::update
