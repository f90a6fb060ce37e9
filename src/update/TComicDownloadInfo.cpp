#include "update/TComicDownloadInfo.h"

#include "comics/TComicInfo.h"
#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "net/THttpCli.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/Timer.h"
#include "platform/TimerTurn.h"
#include "platform/Tunables.h"
#include "sources/HtmlHead.h"
#include "update/PageParser.h"
#include "update/SiteAddress.h"
#include "update/StripAddress.h"
#include "update/StripDay.h"
#include "update/StripNaming.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pw::update {

namespace {

QString SizeText(qint64 bytes)
{
    constexpr qint64 kb = 1024;
    if (bytes % (kb * kb) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (kb * kb));
    if (bytes % kb == 0)
        return QStringLiteral("%1 KB").arg(bytes / kb);
    return QStringLiteral("%1 bytes").arg(bytes);
}

// A new file of our own: never through a link planted in the folder, never into a file
// that someone else holds open. What stands there (a link, the leftover of a crash) is
// removed, not followed. Another Panelwick process getting the same strip at the same
// time (a batch run beside the window) holds its part file locked: this download then
// takes a part file of its own. *path becomes the file's name.
int OpenPartFile(QString* path)
{
    const QByteArray name = QFile::encodeName(*path);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(name.constData(), flags, 0666);
    if (fd < 0 && errno == EEXIST) {
        const int other = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        const bool inUse = other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (other >= 0)
            ::close(other);
        if (inUse) {
            *path += QLatin1Char('.') + QString::number(::getpid());
            return OpenPartFile(path);
        }
        if (::unlink(name.constData()) == 0)
            fd = ::open(name.constData(), flags, 0666);
    }
    if (fd >= 0)
        ::flock(fd, LOCK_EX | LOCK_NB); // held until the file is closed
    return fd;
}

} // namespace

TComicDownloadInfo::TComicDownloadInfo(comics::TComicInfo& comic, const comics::TComicStripsDB& db,
                                       const platform::TIniFile& ini, QObject* parent)
    : QObject(parent), comic_(&comic), db_(db), ini_(ini), comicName_(comic.Name)
{
}

TComicDownloadInfo::~TComicDownloadInfo()
{
    if (http_)
        http_->ReceiveStream = nullptr;
    DiscardStreams();
}

void TComicDownloadInfo::CreateClient()
{
    // Made at the start, not at creation: a large update queues thousands of jobs, and a
    // waiting job should cost little more than its name.
    http_ = std::make_unique<net::THttpCli>();
    http_->URL = PageAddress(comic_->PageURL);
    http_->Agent = QStringLiteral("Panelwick/") + QStringLiteral(PANELWICK_VERSION);
    http_->OnCommand = [this](net::THttpCli*, QByteArray& line) { AddValidators(line); };
    http_->OnHeaderBegin = [this](net::THttpCli*) { HeaderBegin(); };
    http_->OnHeaderData = [this](net::THttpCli*) { HeaderData(); };
    http_->OnDocBegin = [this](net::THttpCli*) { DocBegin(); };
    http_->OnDocData = [this](net::THttpCli*, const char*, qint64) { DocData(); };
    http_->OnRequestDone = [this](net::THttpCli*, net::THttpRequest, std::uint16_t error) {
        RequestDone(error);
    };
    timeoutTimer_ = new platform::Timer(this);
    timeoutTimer_->SetInterval(platform::Tunables::JobTimeoutMs);
    timeoutTimer_->OnTimer = [this] { TimeoutExpired(); };
    deadlineTimer_ = new platform::Timer(this);
    deadlineTimer_->OnTimer = [this] { TimeoutExpired(); };
}

QString TComicDownloadInfo::StripFileName() const
{
    if (year_ == 0 || month_ == 0 || day_ == 0 || extension_.isEmpty())
        return {};
    return StripFileNameFor(comicName_, year_, month_, day_, extension_);
}

QString TComicDownloadInfo::StripFilePath() const
{
    const QString name = StripFileName();
    return name.isEmpty() ? QString() : db_.ComicFolder(comicName_) + QLatin1Char('/') + name;
}

void TComicDownloadInfo::SetState(int state, const QString& text)
{
    state_ = state;
    statusText_ = text;
}

void TComicDownloadInfo::Notify()
{
    if (OnStatusChange)
        OnStatusChange(*this);
}

void TComicDownloadInfo::Log(const QString& text)
{
    if (OnLog)
        OnLog(comicName_ + QStringLiteral(": ") + text);
}

void TComicDownloadInfo::Start()
{
    if (!http_)
        CreateClient();
    SetState(kContacting, QStringLiteral("Contacting comic host..."));
    Notify();

    page_ = std::make_unique<QBuffer>();
    page_->open(QIODevice::WriteOnly);
    http_->ReceiveStream = page_.get();
    if (ini_.ReadBool(QStringLiteral("Proxy"), QStringLiteral("UseProxy"), false)) {
        http_->Proxy = ini_.ReadString(QStringLiteral("Proxy"), QStringLiteral("ProxyIP"), QString());
        http_->ProxyPort = ini_.ReadString(QStringLiteral("Proxy"), QStringLiteral("ProxyPort"), QString());
    } else {
        http_->Proxy.clear();
    }
    timeoutTimer_->SetInterval(platform::Tunables::JobTimeoutMs);
    timeoutTimer_->SetEnabled(true);
    // Every piece that arrives restarts the time-out: a server that drips its answer
    // would otherwise hold the slot for ever.
    deadlineTimer_->SetInterval(platform::Tunables::JobDeadlineMs());
    deadlineTimer_->SetEnabled(true);
    if (WaitingForSite()) {
        QTimer::singleShot(0, this, [this] { RequestDone(0); });
        return;
    }
    StartRequest();
}

void TComicDownloadInfo::StartRequest()
{
    try {
        http_->StartGet();
    } catch (const platform::Exception& e) {
        // No request runs, so no completion would come: end the job from the loop.
        failure_ = e.Message();
        QTimer::singleShot(0, this, [this] { RequestDone(0); });
    }
}

void TComicDownloadInfo::HeaderBegin()
{
    if (state_ != kContacting)
        return;
    SetState(kLooking, QStringLiteral("Looking for a new strip..."));
    Notify();
}

void TComicDownloadInfo::HeaderData()
{
    // Once a new strip was found the header lines no longer matter (redirects and the
    // image request included); nor do lines that still arrive after an abort.
    if (!examineHeaders_ || state_ == kAbortRequested)
        return;
    RestartTimer();
    const QString line = http_->CurrentLineText();
    Log(line);
    if (!IsLastModifiedLine(line) || state_ == kNoNewStripAborting)
        return;

    const std::optional<TLastModified> date = ParseLastModified(line);
    if (!date) {
        // The job ends here: a server could send a thousand such lines per answer, and a
        // box for each would bury the window. One box, shown from the loop, not from
        // inside the client's parsing.
        badDate_ = true;
        examineHeaders_ = false;
        FailNow(QStringLiteral("the page's Last-modified date is not a valid date"));
        platform::RunOnTimerTurn(QCoreApplication::instance(), [] {
            platform::MessageBoxService::Error(QStringLiteral("Exception in OnHeaders"));
        });
        return;
    }
    year_ = date->Year;
    month_ = date->Month;
    day_ = date->Day;
    QString datePart = date->DatePart();
    const QDate named(year_, month_, day_);
    if (const QDate day = StripDayOf(named, QDateTime::currentDateTimeUtc()); day != named) {
        year_ = day.year();
        month_ = day.month();
        day_ = day.day();
        datePart = StripFileNameFor(QString(), year_, month_, day_, QString());
    }
    if (comicName_.isEmpty() || !comics::TComicStripsDB::IsUsableName(comicName_)) {
        failure_ = QStringLiteral("the comic name cannot be used as a folder name");
        examineHeaders_ = false;
        http_->Abort();
        return;
    }
    if (folderIsNew_ || !db_.HasEntryFor(comicName_, datePart)) {
        examineHeaders_ = false;
        SetState(kNewStripFound, QStringLiteral("New strip found, downloading info..."));
    } else {
        SetState(kNoNewStripAborting, QStringLiteral("No new strip found, aborting..."));
        http_->Abort();
    }
    Notify();
}

void TComicDownloadInfo::DocBegin()
{
    // The count goes on through the body: a transfer that stalls still ends.
    RestartTimer();
    Log(QStringLiteral("onDataBegin"));
    if (state_ == kNewStripFound) {
        SetState(kGettingInfo, QStringLiteral("Getting strip info..."));
        Notify();
    }
    CheckBodySize(http_->ResponseLength()); // an announced size need not be waited for
    // A page of announced size is kept in one piece from the start, not grown piece by
    // piece; what a server merely announces reserves no more than an ordinary page needs.
    constexpr qint64 kMaxReserved = 1024 * 1024;
    const qint64 announced = http_->ResponseLength();
    if (page_ && http_->ReceiveStream == page_.get() && announced > 0 && page_->size() == 0)
        page_->buffer().reserve(std::min(announced, kMaxReserved));
}

void TComicDownloadInfo::DocData()
{
    RestartTimer();
    CheckBodySize(http_->BodyBytes());
}

void TComicDownloadInfo::CheckBodySize(qint64 bytes)
{
    if (!failure_.isEmpty() || http_->ClientState() != net::THttpState::ReadingBody)
        return;
    if (page_ && http_->ReceiveStream == page_.get() && bytes > kMaxPageBytes)
        FailNow(QStringLiteral("the page is larger than ") + SizeText(kMaxPageBytes));
    else if (stripFile_ && http_->ReceiveStream == stripFile_.get() &&
             bytes > platform::Tunables::MaxStripBytes)
        FailNow(QStringLiteral("the strip is larger than ") + SizeText(platform::Tunables::MaxStripBytes));
}

void TComicDownloadInfo::FailNow(const QString& reason)
{
    failure_ = reason;
    http_->Abort();
}

void TComicDownloadInfo::RestartTimer()
{
    timeoutTimer_->SetEnabled(true); // enabling again starts the count afresh
}

void TComicDownloadInfo::TimeoutExpired()
{
    timeoutTimer_->SetEnabled(false);
    deadlineTimer_->SetEnabled(false);
    timedOut_ = true;
    http_->Abort();
}

void TComicDownloadInfo::Abort()
{
    if (state_ != kNoNewStripAborting)
        SetState(kAbortRequested, QStringLiteral("Aborted requested by user"));
    if (!http_)
        return; // never started: no request to end
    timeoutTimer_->SetEnabled(false);
    http_->Abort();
}

bool TComicDownloadInfo::CompletedCleanly(unsigned error) const
{
    const int status = http_->ResponseStatus();
    const qint64 length = http_->ResponseLength();
    return error == 0 && status >= 200 && status < 300 && (length < 0 || http_->BodyBytes() == length);
}

QString TComicDownloadInfo::FailureReason(unsigned error) const
{
    const int status = http_->ResponseStatus();
    const QString& reason = http_->ResponseReason();
    switch (error) {
    case 0:
        break;
    case net::HttpError::IncompleteBody:
        return QStringLiteral("the connection ended before the whole document arrived");
    case net::HttpError::IncompleteHeader:
        return QStringLiteral("the connection ended before the whole header arrived");
    case net::HttpError::LineTooLong:
        return QStringLiteral("a response line was too long");
    case net::HttpError::HeaderTooLarge:
        return QStringLiteral("the response header was too large");
    case net::HttpError::TooManyRedirects:
        return QStringLiteral("too many redirections");
    case net::HttpError::UnsafeLocation:
        return QStringLiteral("the server redirected to an address with a space or control character");
    case net::HttpError::LocalRedirect:
        return QStringLiteral("the server redirected to an address in the local network");
    case net::HttpError::LocalAddress:
        return QStringLiteral("the comic's page names an address in the local network");
    default:
        return reason.isEmpty() ? QStringLiteral("error #%1").arg(error) : reason;
    }
    if (status == 0 && http_->ResponseHeader().isEmpty())
        return QStringLiteral("the server's answer has no HTTP header");
    if (status == 0)
        return QStringLiteral("the server's answer has no HTTP status line");
    if (status < 200 || status >= 300)
        return QStringLiteral("the server answered %1 %2").arg(status).arg(reason).trimmed();
    const qint64 length = http_->ResponseLength();
    if (length >= 0 && http_->BodyBytes() > length)
        return QStringLiteral("the server sent more than the %1 bytes it announced").arg(length);
    if (length >= 0 && http_->BodyBytes() < length)
        return QStringLiteral("the connection ended before the whole document arrived");
    if (state_ == kContacting || state_ == kLooking)
        return badDate_ ? QStringLiteral("the page's Last-modified date is not a valid date")
                        : QStringLiteral("the page has no Last-modified date");
    return QStringLiteral("the page has no body");
}

void TComicDownloadInfo::RequestDone(unsigned error)
{
    timeoutTimer_->SetEnabled(false);
    if (!ownAnswerSeen_) {
        // What the comic's answer names (strip, feed, item page, picture) is asked inside
        // the local network only when the comic itself lives there.
        ownAnswerSeen_ = true;
        http_->RefuseLocalAddress = !http_->ServerIsLocal();
    }
    const QString failed = QStringLiteral("Failed: ");
    if (state_ == kAbortRequested) {
        SetState(kAborted, QStringLiteral("Aborted by user"));
    } else if (state_ == kNoNewStripAborting) {
        SetState(kNoUpdate, QStringLiteral("No updated strip found"));
    } else if (timedOut_) {
        SetState(kTimedOut, QStringLiteral("Timed out"));
    } else if (!failure_.isEmpty()) {
        SetState(kFailed, failed + failure_);
    } else if (EndedByStatus(error)) {
        // 304, or a site that asks us to wait
    } else if (step_ != Step::Page) {
        SourceRequestDone(error);
    } else if (state_ == kLooking && CompletedCleanly(error) && page_ && page_->size() > 0 &&
               FindStripAddressInPage(page_->data(), PageSite()).isEmpty()) {
        // No usable Last-modified date: not the built-in site's page, so perhaps a feed
        // or another page; else it fails as the built-in page would.
        const QByteArray document = page_->data();
        if (!FollowSource(document, http_->CurrentAddress()))
            SetState(kFailed, OnComicSite() ? failed + FailureReason(error) : NoPictureText());
    } else if (state_ == kGettingInfo && CompletedCleanly(error)) {
        const QByteArray document = page_->data();
        const QString site = PageSite();
        const QString address = FindStripAddressInPage(document, site);
        http_->ReceiveStream = nullptr;
        page_.reset();
        if (address.isEmpty()) {
            if (!FollowSource(document, http_->CurrentAddress()))
                SetState(kFailed, NoPictureText());
        } else {
            http_->URL = address;
            if (!StaysOnSite(address, site))
                SetState(kFailed, failed + QStringLiteral("the strip address leaves the comic site"));
            else
                StartImageRequest(address);
        }
    } else if (state_ == kGettingStrip && CompletedCleanly(error)) {
        http_->ReceiveStream = nullptr;
        const qint64 size = stripFile_->size();
        const bool flushed = stripFile_->flush();
        stripFile_->close();
        const QString part = partPath_;
        stripFile_.reset();
        const QString target = StripFilePath();
        // rename() replaces a file of that name in one step (QFile::rename would not).
        if (flushed &&
            std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) == 0) {
            downloadedSize_ = size;
            newStrips_ = QStringList{StripFileName()};
            SetState(kNewStrip, QStringLiteral("New strip updated"));
        } else {
            QFile::remove(part);
            SetState(kFailed, failed + QStringLiteral("cannot write %1").arg(target));
        }
    } else {
        SetState(kFailed, failed + FailureReason(error));
    }
    if (IsFinal(state_)) {
        folderIsNew_ = false;
        deadlineTimer_->SetEnabled(false);
        http_->ReceiveStream = nullptr;
        DiscardStreams();
        SaveMemory();
    }
    Notify();
}

void TComicDownloadInfo::StartImageRequest(const QString& address)
{
    const QString extension = address.right(4);
    if (!IsStripExtension(extension)) {
        SetState(kFailed, QStringLiteral("Failed: the strip address has no usable extension"));
        return;
    }
    extension_ = extension;
    // A strip the store cannot read back by its name would be saved and never shown.
    if (StripFileName().isEmpty() || !comics::TComicStrip::FromFileName(StripFileName(), db_.Dir())) {
        extension_.clear();
        SetState(kFailed, month_ == 0 ? QStringLiteral("Failed: the page's date has no known month")
                                      : QStringLiteral("Failed: the page's date cannot name a strip file"));
        return;
    }
    if (!OpenStripFile(PartPath())) {
        SetState(kFailed, QStringLiteral("Failed: cannot write %1").arg(partPath_));
        extension_.clear();
        return;
    }
    SetState(kGettingStrip, QStringLiteral("Getting new strip..."));
    http_->ReceiveStream = stripFile_.get();
    RestartTimer();
    try {
        http_->StartGet();
    } catch (const platform::Exception& e) {
        failure_ = e.Message();
        QTimer::singleShot(0, this, [this] { RequestDone(0); });
    }
}

bool TComicDownloadInfo::OpenStripFile(const QString& path)
{
    folderIsNew_ = false;
    partPath_ = path;
    stripFile_ = std::make_unique<QFile>();
    // Unbuffered: the client hands over large pieces, and a failed write shows at once.
    const int fd = OpenPartFile(&partPath_);
    if (fd >= 0 && stripFile_->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFile::AutoCloseHandle))
        return true;
    if (fd >= 0)
        ::close(fd);
    stripFile_.reset();
    return false;
}

QString TComicDownloadInfo::PageSite() const
{
    return PageSiteBase(comic_->PageURL, http_->CurrentAddress());
}

QString TComicDownloadInfo::PartPath() const
{
    // A leading dot keeps a half-done download out of the "<name><date>.*" check.
    return db_.ComicFolder(comicName_) + QStringLiteral("/.") + StripFileName() + QStringLiteral(".part");
}

void TComicDownloadInfo::DiscardStreams()
{
    page_.reset();
    if (stripFile_) {
        stripFile_->close();
        QFile::remove(partPath_);
        stripFile_.reset();
    }
}

} // namespace pw::update
