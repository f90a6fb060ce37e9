// The update job's second half: a comic whose address is not the built-in site's page
// format, followed by what the answer holds (a feed, a page linking one, a page naming
// its picture). The requests and states are the job's own; see TComicDownloadInfo.cpp.
#include "update/TComicDownloadInfo.h"

#include "comics/StripWordsFile.h"
#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "net/THttpCli.h"
#include "sources/FeedReader.h"
#include "sources/HtmlHead.h"
#include "sources/ItemChoice.h"
#include "sources/PictureFormat.h"
#include "update/StripNaming.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace pw::update {

namespace {

QString WaitText(const QDateTime& until)
{
    return QStringLiteral("the site asks to wait until ") +
           until.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDate TodayUtc()
{
    return QDateTime::currentDateTimeUtc().date();
}

QString DatePartOf(const QDate& day)
{
    return StripFileNameFor(QString(), day.year(), day.month(), day.day(), QString());
}

comics::StripWords WordsOf(const sources::FeedItem& item)
{
    return {item.Title, item.PictureTitle, item.PictureAlt, item.Link, item.Note};
}

// A page's own words; the hover text is that of the page's <img> of the picture.
comics::StripWords WordsOfPage(const sources::HtmlHead& head, const QByteArray& page, const QString& address)
{
    const sources::ImageWords image =
        sources::FindImageWords(QString::fromUtf8(page), address, head.Picture, false);
    return {head.ItemTitle.isEmpty() ? head.Title : head.ItemTitle, image.Title, image.Alt,
            head.PageAddress.isEmpty() ? address : head.PageAddress, head.Description};
}

} // namespace

QString TComicDownloadInfo::MemoryPath() const
{
    if (comicName_.isEmpty() || !comics::TComicStripsDB::IsUsableName(comicName_))
        return {};
    return TSourceMemory::PathIn(db_.ComicFolder(comicName_));
}

bool TComicDownloadInfo::WaitingForSite()
{
    const QString path = MemoryPath();
    if (path.isEmpty())
        return false;
    memory_ = TSourceMemory::Load(path);
    if (!memory_.WaitUntil.isValid() || memory_.WaitUntil <= QDateTime::currentDateTimeUtc())
        return false;
    failure_ = WaitText(memory_.WaitUntil);
    return true;
}

void TComicDownloadInfo::AddValidators(QByteArray& line) const
{
    // Only the comic's own address is asked conditionally (never a strip after it), and
    // the values went through SafeHeaderValue when the memory was read.
    if (state_ != kContacting || step_ != Step::Page || !line.startsWith("Host:"))
        return;
    if (!memory_.ETag.isEmpty())
        line += "\r\nIf-None-Match: " + memory_.ETag.toUtf8();
    if (!memory_.LastModified.isEmpty())
        line += "\r\nIf-Modified-Since: " + memory_.LastModified.toUtf8();
}

QString TComicDownloadInfo::HeaderValue(const char* name) const
{
    const QString prefix = QLatin1String(name) + QLatin1Char(':');
    for (const QString& line : http_->ResponseHeader())
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size()).trimmed();
    return {};
}

bool TComicDownloadInfo::EndedByStatus(unsigned error)
{
    if (error != 0)
        return false;
    const int status = http_->ResponseStatus();
    if (status == 304 && step_ == Step::Page) {
        SetState(kNoUpdate, QStringLiteral("No updated strip found"));
        return true;
    }
    if (status != 429 && status != 503)
        return false;
    const QDateTime until = RetryAfterTime(HeaderValue("Retry-After"), QDateTime::currentDateTimeUtc());
    if (!until.isValid())
        return false;
    memory_.WaitUntil = until;
    memoryChanged_ = true;
    FinishSources(WaitText(until));
    return true;
}

void TComicDownloadInfo::RememberPageAnswer()
{
    answer_.ETag = HeaderValue("ETag");
    answer_.LastModified = HeaderValue("Last-Modified");
    answerKnown_ = true;
}

bool TComicDownloadInfo::FollowSource(const QByteArray& document, const QString& address)
{
    const sources::Feed feed = sources::ReadFeed(document, address);
    const sources::HtmlHead head = feed.Kind == sources::FeedKind::None && !feed.Refused
                                       ? sources::ScanHtmlHead(document, address)
                                       : sources::HtmlHead();
    if (feed.Kind == sources::FeedKind::None && !feed.Refused && head.FeedAddresses.isEmpty() &&
        head.Picture.isEmpty())
        return false;
    // From here on the comic follows a source: its address is asked conditionally next
    // time, and later answers' dates decide nothing.
    RememberPageAnswer();
    examineHeaders_ = false;
    http_->ReceiveStream = nullptr;
    page_.reset();
    if (comicName_.isEmpty() || !comics::TComicStripsDB::IsUsableName(comicName_))
        SetState(kFailed, QStringLiteral("Failed: the comic name cannot be used as a folder name"));
    else if (feed.Refused)
        SetState(kFailed, QStringLiteral("Failed: ") + feed.Error);
    else if (feed.Kind != sources::FeedKind::None)
        FollowFeed(feed);
    else if (!head.FeedAddresses.isEmpty())
        StartDocument(Step::Feed, head.FeedAddresses.first(), QStringLiteral("Reading the comic's feed..."));
    else
        FollowPagePicture(head.Picture, WordsOfPage(head, document, address));
    return true;
}

void TComicDownloadInfo::FollowFeed(const sources::Feed& feed)
{
    if (feed.Items.empty()) {
        FinishSources(feed.Error.isEmpty() ? QStringLiteral("the feed has no items")
                                           : QStringLiteral("the feed cannot be read (%1)").arg(feed.Error));
        return;
    }
    const auto newest = db_.NewestStrip(comicName_);
    const auto chosen =
        sources::ChooseNewItems(feed.Items, newest ? newest->Date : QDate(), TodayUtc(), kMaxNewStrips);
    pending_.clear();
    pendingIndex_ = 0;
    for (const sources::ChosenItem& c : chosen)
        if (!db_.HasEntryFor(comicName_, DatePartOf(c.Day)))
            pending_.push_back({c.Day, c.Item.Picture, c.Item.Link, WordsOf(c.Item)});
    if (pending_.empty())
        SetState(kNoUpdate, QStringLiteral("No updated strip found"));
    else
        StartNextPending();
}

void TComicDownloadInfo::FollowPagePicture(const QString& picture, const comics::StripWords& words)
{
    pageFollowed_ = true;
    QDate day = year_ && month_ && day_ ? QDate(year_, month_, day_) : QDate();
    if (!day.isValid())
        day = TodayUtc();
    // The same picture as last time is no new strip, whatever day the page claims.
    if (picture == memory_.Picture || db_.HasEntryFor(comicName_, DatePartOf(day))) {
        SetState(kNoUpdate, QStringLiteral("No updated strip found"));
        return;
    }
    pending_ = {{day, picture, QString(), words}};
    pendingIndex_ = 0;
    StartNextPending();
}

void TComicDownloadInfo::StartDocument(Step step, const QString& address, const QString& text)
{
    step_ = step;
    page_ = std::make_unique<QBuffer>();
    page_->open(QIODevice::WriteOnly);
    http_->ReceiveStream = page_.get();
    http_->URL = address;
    SetState(kGettingInfo, text);
    RestartTimer();
    StartRequest();
}

void TComicDownloadInfo::StartNextPending()
{
    while (pendingIndex_ < pending_.size()) {
        PendingStrip& next = pending_[pendingIndex_];
        if (!next.Picture.isEmpty()) {
            StartPicture(next);
            return;
        }
        if (!next.Page.isEmpty()) {
            const QString page = next.Page;
            next.Page.clear();
            StartDocument(Step::ItemPage, page, QStringLiteral("Looking for the strip on its page..."));
            return;
        }
        passedOver_ = QStringLiteral("the feed's new items name no picture");
        ++pendingIndex_;
    }
    FinishSources(QString());
}

void TComicDownloadInfo::StartPicture(const PendingStrip& strip)
{
    step_ = Step::Picture;
    // A leading dot keeps a half-done download out of the "<name><date>.*" check.
    const QString part = db_.ComicFolder(comicName_) + QStringLiteral("/.") +
                         StripFileNameFor(comicName_, strip.Day.year(), strip.Day.month(), strip.Day.day(),
                                          QStringLiteral(".part"));
    if (!OpenStripFile(part)) {
        FinishSources(QStringLiteral("cannot write %1").arg(part));
        return;
    }
    http_->ReceiveStream = stripFile_.get();
    http_->URL = strip.Picture;
    SetState(kGettingStrip, QStringLiteral("Getting new strip..."));
    RestartTimer();
    StartRequest();
}

void TComicDownloadInfo::SourceRequestDone(unsigned error)
{
    if (!CompletedCleanly(error)) {
        FinishSources(FailureReason(error));
        return;
    }
    if (step_ == Step::Picture) {
        StorePicture();
        return;
    }
    const QByteArray document = page_->data();
    const QString address = http_->CurrentAddress();
    http_->ReceiveStream = nullptr;
    page_.reset();
    if (step_ == Step::Feed) {
        const sources::Feed feed = sources::ReadFeed(document, address);
        if (feed.Kind == sources::FeedKind::None)
            FinishSources(QStringLiteral("the page's feed is no RSS or Atom feed") +
                          (feed.Error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(feed.Error)));
        else
            FollowFeed(feed);
        return;
    }
    // An item that only announces its strip: the picture is on the item's page.
    const sources::HtmlHead head = sources::ScanHtmlHead(document, address);
    if (head.Picture.isEmpty()) {
        passedOver_ = QStringLiteral("the item's page names no picture");
        ++pendingIndex_;
    } else {
        PendingStrip& strip = pending_[pendingIndex_];
        strip.Picture = head.Picture;
        // The feed's words first; the page adds the picture's hover text the item lacked.
        const comics::StripWords page = WordsOfPage(head, document, address);
        for (auto field : {&comics::StripWords::Title, &comics::StripWords::TitleText,
                           &comics::StripWords::AltText, &comics::StripWords::Note})
            if ((strip.Words.*field).isEmpty())
                strip.Words.*field = page.*field;
    }
    StartNextPending();
}

void TComicDownloadInfo::StorePicture()
{
    http_->ReceiveStream = nullptr;
    const PendingStrip strip = pending_[pendingIndex_];
    const qint64 size = stripFile_->size();
    stripFile_->close();
    const QString part = partPath_;
    stripFile_.reset();
    QByteArray head;
    QFile read(part);
    if (read.open(QIODevice::ReadOnly))
        head = read.read(16);
    read.close();
    const QString extension = sources::PictureExtension(head);
    if (extension.isEmpty() || size <= 0) {
        QFile::remove(part);
        FinishSources(QStringLiteral("the picture %1 is neither GIF, JPEG nor PNG").arg(strip.Picture));
        return;
    }
    const QString name =
        StripFileNameFor(comicName_, strip.Day.year(), strip.Day.month(), strip.Day.day(), extension);
    const QString target = db_.ComicFolder(comicName_) + QLatin1Char('/') + name;
    // rename() replaces a file of that name in one step (QFile::rename would not).
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(part);
        FinishSources(QStringLiteral("cannot write %1").arg(target));
        return;
    }
    // Only NewStripFiles names them: StripFilePath stays empty, so a job that ends aborted
    // or timed out after storing some leaves those complete strips where they are.
    newStrips_.append(name);
    downloadedSize_ += size;
    // Words that cannot be written leave the strip without them; the strip itself counts.
    comics::StripWordsFile::Store(db_.ComicFolder(comicName_), name, strip.Words);
    if (pageFollowed_) {
        memory_.Picture = strip.Picture;
        memoryChanged_ = true;
    }
    ++pendingIndex_;
    StartNextPending();
}

void TComicDownloadInfo::FinishSources(const QString& failure)
{
    pending_.clear();
    pendingIndex_ = 0;
    if (!newStrips_.isEmpty()) {
        // What was stored stays; what failed is newer than all of it, so the next update
        // asks again.
        incomplete_ = !failure.isEmpty();
        SetState(kNewStrip, QStringLiteral("New strip updated"));
        return;
    }
    const QString why = !failure.isEmpty()       ? failure
                        : !passedOver_.isEmpty() ? passedOver_
                                                 : QStringLiteral("no new strip was found");
    SetState(kFailed, QStringLiteral("Failed: ") + why);
}

void TComicDownloadInfo::SaveMemory()
{
    const QString path = MemoryPath();
    if (path.isEmpty())
        return;
    // The answer's validators are kept only when everything it led to was done: a
    // conditional request must never hide a strip that is still to be fetched.
    if (answerKnown_ && !incomplete_ && (state_ == kNewStrip || state_ == kNoUpdate)) {
        memory_.ETag = SafeHeaderValue(answer_.ETag);
        memory_.LastModified = SafeHeaderValue(answer_.LastModified);
        memory_.WaitUntil = QDateTime();
        memoryChanged_ = true;
    }
    if (memoryChanged_ && QFileInfo(db_.ComicFolder(comicName_)).isDir())
        memory_.Save(path); // unwritten, the next update simply asks without validators
}

} // namespace pw::update
