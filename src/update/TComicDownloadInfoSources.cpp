// The update job's second half: a comic whose address is not the built-in site's page
// format, followed by what the answer holds (a feed, a page linking one, a page naming
// its picture). The requests and states are the job's own; see TComicDownloadInfo.cpp.
#include "update/TComicDownloadInfo.h"

#include "comics/StripWordsFile.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "net/THttpCli.h"
#include "sources/FeedReader.h"
#include "sources/HtmlHead.h"
#include "sources/ItemChoice.h"
#include "sources/PictureFormat.h"
#include "sources/TextCharset.h"
#include "update/SiteAddress.h"
#include "update/StripDay.h"
#include "update/StripNaming.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

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

QString HomeOf(const QString& address)
{
    const QUrl url(address);
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString() +
           QLatin1Char('/');
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
    if (path.isEmpty() || folderIsNew_) // a new folder holds no memory of earlier runs
        return false;
    memoryStamp_ = platform::FileStamp::Of(QFile::encodeName(path));
    // Most comics have none; one that appears after the look is found by its stamp on
    // saving, and kept.
    memory_ = memoryStamp_ ? TSourceMemory::Load(path) : TSourceMemory();
    if (!memory_.Waits(QDateTime::currentDateTimeUtc())) {
        if (memory_.WaitUntil.isValid()) { // over, or longer than any site may ask: forgotten
            memory_.WaitUntil = QDateTime();
            memoryChanged_ = true;
        }
        return false;
    }
    failure_ = WaitText(memory_.WaitUntil);
    return true;
}

void TComicDownloadInfo::AddValidators(QByteArray& line) const
{
    // Only the comic's own address is asked conditionally (never a strip after it), and
    // the values went through SafeHeaderValue when the memory was read.
    // So is the feed the comic's page links, which is asked whatever the page answered.
    if (!line.startsWith("Host:"))
        return;
    QString etag, lastModified;
    if (state_ == kContacting && step_ == Step::Page)
        etag = memory_.ETag, lastModified = memory_.LastModified;
    else if (step_ == Step::Feed && http_->URL == memory_.Feed)
        etag = memory_.FeedETag, lastModified = memory_.FeedLastModified;
    if (!etag.isEmpty())
        line += "\r\nIf-None-Match: " + etag.toUtf8();
    if (!lastModified.isEmpty())
        line += "\r\nIf-Modified-Since: " + lastModified.toUtf8();
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
        // The page that linked the comic's feed did not change; the feed may have.
        if (!memory_.Feed.isEmpty() && comics::TComicStripsDB::IsUsableName(comicName_)) {
            examineHeaders_ = false;
            StartDocument(Step::Feed, memory_.Feed, QStringLiteral("Reading the comic's feed..."));
            return true;
        }
        SetState(kNoUpdate, QStringLiteral("No updated strip found"));
        return true;
    }
    if (status == 304 && step_ == Step::Feed) {
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

QByteArray TComicDownloadInfo::AnswerCharset() const
{
    return sources::CharsetOfContentType(HeaderValue("Content-Type"));
}

bool TComicDownloadInfo::OnComicSite() const
{
    const QString site = SiteBase();
    return !site.isEmpty() && PageAddress(comic_->PageURL).startsWith(site + QLatin1Char('/'));
}

QString TComicDownloadInfo::NoPictureText() const
{
    // The built-in site's pages keep their own words.
    return OnComicSite() ? QStringLiteral("No strip found in strip info.")
                         : QStringLiteral("Failed: the page names no picture");
}

bool TComicDownloadInfo::FollowSource(const QByteArray& document, const QString& address)
{
    const QByteArray charset = AnswerCharset();
    const sources::Feed feed = sources::ReadFeed(document, address, charset);
    const sources::HtmlHead head = feed.Kind == sources::FeedKind::None && !feed.Refused
                                       ? sources::ScanHtmlHead(document, address, charset)
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
    else if (!head.FeedAddresses.isEmpty()) {
        if (head.HomePage) { // its card is the one item pages are judged against
            homeAddress_ = HomeOf(address);
            homeCard_ = head.CardPicture;
        }
        if (memory_.Feed != head.FeedAddresses.first()) {
            memory_.Feed = head.FeedAddresses.first();
            memory_.FeedETag.clear();
            memory_.FeedLastModified.clear();
            memoryChanged_ = true;
        }
        StartDocument(Step::Feed, head.FeedAddresses.first(), QStringLiteral("Reading the comic's feed..."));
    } else {
        if (!memory_.Feed.isEmpty()) { // the page no longer links a feed
            memory_.Feed.clear();
            memoryChanged_ = true;
        }
        FollowPagePicture(head);
    }
    return true;
}

void TComicDownloadInfo::FollowFeed(const sources::Feed& feed)
{
    if (feed.Items.empty()) {
        FinishSources(feed.Error.isEmpty() ? QStringLiteral("the feed has no items")
                                           : QStringLiteral("the feed cannot be read (%1)").arg(feed.Error));
        return;
    }
    const QDate today = TodayUtc();
    const auto newest = db_.NewestStrip(comicName_);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::vector<sources::FeedItem> items = WithoutFutureDates(feed.Items, now);
    QDate after = newest ? NewestStoredDay(newest->Date, now) : QDate();
    // The newest day's items that were stored are known by their identity, so the day's
    // others are still new; a day stored without identities (by an older Panelwick, or
    // from a page) counts as done.
    if (after.isValid() && memory_.KnowsStoredOn(after))
        after = after.addDays(-1);
    const sources::NewItems fresh =
        sources::ChooseNewItems(items, after, today, kMaxNewStrips,
                                [this](const QString& identity) { return memory_.HasStored(identity); });
    leftOver_ = fresh.LeftOver;
    pending_.clear();
    pendingIndex_ = 0;
    auto listed = [&](const TSourceMemory::Retry& r) {
        return std::any_of(pending_.begin(), pending_.end(), [&](const PendingStrip& p) {
            return p.Day == r.Day && p.Identity() == r.Identity();
        });
    };
    for (const sources::ChosenItem& c : fresh.Chosen) {
        const TSourceMemory::Retry* retry = memory_.RetryFor(c.Day, sources::ItemIdentity(c.Item));
        if (!retry || retry->Left > 0)
            pending_.push_back(PendingFor(c.Day, c.Item));
    }
    // Items that failed before are asked again, older than the newest strip or not.
    for (const TSourceMemory::Retry& r : memory_.Retries) {
        if (r.Left <= 0 || memory_.HasStored(r.Identity()) || listed(r))
            continue;
        const auto found = std::find_if(items.begin(), items.end(), [&](const sources::FeedItem& item) {
            return sources::ItemDay(item, today) == r.Day && sources::ItemIdentity(item) == r.Identity();
        });
        if (found != items.end()) {
            pending_.push_back(PendingFor(r.Day, *found));
        } else {
            PendingStrip p;
            p.Day = r.Day;
            if (!r.Picture.isEmpty())
                p.Pictures = QStringList{r.Picture};
            p.FirstPicture = r.Picture;
            p.Page = r.Page;
            pending_.push_back(p);
        }
    }
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const PendingStrip& a, const PendingStrip& b) { return a.Day < b.Day; });
    if (pending_.empty())
        SetState(kNoUpdate, QStringLiteral("No updated strip found"));
    else
        StartNextPending();
}

TComicDownloadInfo::PendingStrip TComicDownloadInfo::PendingFor(const QDate& day,
                                                                const sources::FeedItem& item) const
{
    PendingStrip p;
    p.Day = day;
    p.Pictures = item.Pictures;
    p.LastResort = item.LastResortPictures;
    p.FirstPicture = p.Pictures.value(0);
    p.Page = item.Link;
    p.Words = {item.Title, item.PictureTitle, item.PictureAlt, item.Link, item.Note};
    p.IdKey = sources::ItemIdKey(item);
    return p;
}

bool TComicDownloadInfo::AskHomePage(const sources::HtmlHead& head, bool forComicPage)
{
    const QString home = HomeOf(http_->CurrentAddress());
    if (home == homeAddress_ || head.HomePage || head.CardPicture.isEmpty() ||
        head.Picture != head.CardPicture || head.MainPicture.isEmpty() ||
        head.MainPicture == head.CardPicture)
        return false;
    awaitingHome_ = std::make_unique<sources::HtmlHead>(head);
    homeForComicPage_ = forComicPage;
    homeAddress_ = home;
    homeCard_.clear(); // until the home page tells
    StartDocument(Step::HomePage, home, QStringLiteral("Looking at the comic's home page..."));
    return true;
}

QString TComicDownloadInfo::PictureOfPage(const sources::HtmlHead& head) const
{
    const bool homeKnown = HomeOf(http_->CurrentAddress()) == homeAddress_;
    return sources::PagePicture(head, homeKnown ? homeCard_ : QString());
}

void TComicDownloadInfo::FollowPagePicture(const sources::HtmlHead& head)
{
    pageFollowed_ = true;
    pageWords_ = {head.ItemTitle.isEmpty() ? head.Title : head.ItemTitle, head.PictureTitle, head.PictureAlt,
                  head.PageAddress.isEmpty() ? http_->CurrentAddress() : head.PageAddress, head.Description};
    if (!AskHomePage(head, true))
        UsePagePicture(PictureOfPage(head));
}

void TComicDownloadInfo::UsePagePicture(const QString& picture)
{
    if (picture.isEmpty()) {
        SetState(kFailed, NoPictureText());
        return;
    }
    QDate day = year_ && month_ && day_ ? QDate(year_, month_, day_) : QDate();
    if (!day.isValid())
        day = TodayUtc();
    // The same picture as last time is no new strip, whatever day the page claims.
    if (picture == memory_.Picture || db_.HasEntryFor(comicName_, DatePartOf(day))) {
        SetState(kNoUpdate, QStringLiteral("No updated strip found"));
        return;
    }
    PendingStrip p;
    p.Day = day;
    p.Pictures = QStringList{picture};
    p.FirstPicture = picture;
    p.Words = pageWords_;
    pending_ = {p};
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

void TComicDownloadInfo::SourceRequestDone(unsigned error)
{
    if (!CompletedCleanly(error)) {
        const QString reason = FailureReason(error);
        if (step_ != Step::Picture) {
            http_->ReceiveStream = nullptr;
            page_.reset();
        }
        if (step_ == Step::Picture || step_ == Step::ItemPage) {
            ItemFailed(reason, false); // the other items go on
        } else if (step_ == Step::HomePage) {
            const QString picture = awaitingHome_->Picture; // judged without the home page
            awaitingHome_.reset();
            if (homeForComicPage_) {
                UsePagePicture(picture);
            } else {
                if (!picture.isEmpty())
                    pending_[pendingIndex_].Pictures = QStringList{picture};
                StartNextPending();
            }
        } else {
            FinishSources(reason);
        }
        return;
    }
    if (step_ == Step::Picture) {
        StorePicture();
        return;
    }
    const QByteArray document = page_->data();
    const QString address = http_->CurrentAddress();
    const QByteArray charset = AnswerCharset();
    http_->ReceiveStream = nullptr;
    page_.reset();
    if (step_ == Step::Feed) {
        if (http_->URL == memory_.Feed) {
            feedAnswer_.ETag = HeaderValue("ETag");
            feedAnswer_.LastModified = HeaderValue("Last-Modified");
            feedAnswerKnown_ = true;
        }
        const sources::Feed feed = sources::ReadFeed(document, address, charset);
        if (feed.Kind == sources::FeedKind::None)
            FinishSources(QStringLiteral("the page's feed is no RSS or Atom feed") +
                          (feed.Error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(feed.Error)));
        else
            FollowFeed(feed);
        return;
    }
    if (step_ == Step::HomePage) {
        homeCard_ = sources::ScanHtmlHead(document, address, charset).CardPicture;
        const QString picture = sources::PagePicture(*awaitingHome_, homeCard_);
        awaitingHome_.reset();
        if (homeForComicPage_) {
            UsePagePicture(picture);
        } else {
            if (!picture.isEmpty())
                pending_[pendingIndex_].Pictures = QStringList{picture};
            StartNextPending();
        }
        return;
    }
    // An item that only announces its strip: the picture is on the item's page.
    const sources::HtmlHead head = sources::ScanHtmlHead(document, address, charset);
    if (AskHomePage(head, false))
        return;
    if (const QString picture = PictureOfPage(head); !picture.isEmpty()) {
        PendingStrip& item = pending_[pendingIndex_];
        item.Pictures = QStringList{picture};
        if (item.Words.TitleText.isEmpty())
            item.Words.TitleText = head.PictureTitle;
        if (item.Words.AltText.isEmpty())
            item.Words.AltText = head.PictureAlt;
    }
    StartNextPending();
}

void TComicDownloadInfo::SaveMemory()
{
    const QString path = MemoryPath();
    if (path.isEmpty())
        return;
    // The answer's validators are kept only when everything it led to was done: a
    // conditional request must never hide a strip that is still to be fetched.
    if (!incomplete_ && !memory_.RetriesPending() && (state_ == kNewStrip || state_ == kNoUpdate)) {
        if (answerKnown_) {
            memory_.ETag = SafeHeaderValue(answer_.ETag);
            memory_.LastModified = SafeHeaderValue(answer_.LastModified);
            memory_.WaitUntil = QDateTime();
            memoryChanged_ = true;
        }
        if (feedAnswerKnown_) {
            memory_.FeedETag = SafeHeaderValue(feedAnswer_.ETag);
            memory_.FeedLastModified = SafeHeaderValue(feedAnswer_.LastModified);
            memoryChanged_ = true;
        }
    }
    if (memoryChanged_ && QFileInfo(db_.ComicFolder(comicName_)).isDir()) {
        // Fetch Older Strips may have run on the comic meanwhile (in the window, or beside
        // it): where it goes on from and what it stored stay.
        if (platform::FileStamp::Of(QFile::encodeName(path)) != memoryStamp_)
            memory_.KeepWalk(TSourceMemory::Load(path));
        memory_.Save(path); // unwritten, the next update simply asks without validators
    }
}

} // namespace pw::update
