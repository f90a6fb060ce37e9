// The archive walk's documents: what the comic's feed, its older pages and a comic's
// previous pages hold, and the strips they lead to. Requests and the end of a run are in
// TArchiveWalk.cpp.
#include "update/TArchiveWalk.h"

#include "comics/StripWordsFile.h"
#include "comics/TComicStripsDB.h"
#include "net/THttpCli.h"
#include "sources/FeedPages.h"
#include "sources/FeedReader.h"
#include "sources/HtmlHead.h"
#include "sources/ItemChoice.h"
#include "sources/PictureFormat.h"
#include "sources/TextCharset.h"
#include "update/StripDay.h"
#include "update/StripStoring.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace pw::update {

namespace {

// A new file of our own, never through a link planted in the folder.
int OpenPartFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(name.constData(), flags, 0666);
    if (fd < 0 && errno == EEXIST && ::unlink(name.constData()) == 0)
        fd = ::open(name.constData(), flags, 0666);
    return fd;
}

} // namespace

bool TArchiveWalk::WantedDay(const QDate& day) const
{
    // A day stored without its items' identities (one a day, or by an older Panelwick)
    // counts as done, as it does for an update.
    return day.isValid() && (!newestDay_.isValid() || day < newestDay_) &&
           (StripStoring::StripsOn(db_, comicName_, day) == 0 || memory_.KnowsStoredOn(day));
}

bool TArchiveWalk::Wanted(const Pending& strip) const
{
    return WantedDay(strip.Day) && !memory_.HasStored(strip.Identity) && !memory_.HasStored(strip.IdKey);
}

void TArchiveWalk::SetNext(Step step, const QString& address)
{
    nextStep_ = step;
    next_ = visited_.contains(address) ? QString() : address; // a chain that loops ends
}

void TArchiveWalk::StartDocument(const QByteArray& document)
{
    const QByteArray charset = sources::CharsetOfContentType(HeaderValue("Content-Type"));
    const QString address = http_->CurrentAddress();
    if (step_ == Step::ItemPage) {
        ItemPageDocument(sources::ScanHtmlHead(document, address, charset));
        return;
    }
    const bool first = step_ == Step::Start;
    if (step_ != Step::Page) {
        const sources::Feed feed = sources::ReadFeed(document, address, charset);
        if (feed.Refused) {
            Finish(Stop::Failure, feed.Error);
            return;
        }
        if (feed.Kind != sources::FeedKind::None) {
            FeedDocument(feed, first);
            return;
        }
        if (!first) {
            // WordPress may answer a page past the last with its home page.
            if (sources::PagedFeedNumber(address_) >= 2)
                Finish(Stop::End);
            else
                Finish(Stop::Failure, QStringLiteral("%1 is no RSS or Atom feed").arg(address_));
            return;
        }
    }
    const sources::HtmlHead head = sources::ScanHtmlHead(document, address, charset);
    if (first && !head.FeedAddresses.isEmpty() && !visited_.contains(head.FeedAddresses.first())) {
        // The page's feed is the comic's own document.
        visited_.insert(head.FeedAddresses.first());
        Request(Step::Start, head.FeedAddresses.first(), QStringLiteral("Reading the comic's feed..."));
        return;
    }
    PageDocument(head, first);
}

void TArchiveWalk::FeedDocument(const sources::Feed& feed, bool first)
{
    visited_.insert(address_);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Undated items cannot be placed in the archive: passed over.
    std::vector<sources::FeedItem> dated;
    int unseen = 0; // items no document of this run held before
    for (const sources::FeedItem& item : WithoutFutureDates(feed.Items, now)) {
        if (!item.Date)
            continue;
        const QString key =
            sources::ItemIdentity(item) + QLatin1Char(' ') + item.Date->Utc.toString(Qt::ISODate);
        if (!itemsSeen_.contains(key)) {
            itemsSeen_.insert(key);
            ++unseen;
        }
        dated.push_back(item);
    }
    const sources::NewItems all = sources::ChooseNewItems(dated, QDate(), now.date(), dated.size());
    // Days newest first; a day's strips in the order they were published, so that their
    // places in the day follow it.
    std::map<QDate, std::vector<const sources::ChosenItem*>> days;
    for (const sources::ChosenItem& c : all.Chosen)
        days[c.Day].push_back(&c);
    pending_.clear();
    pendingIndex_ = 0;
    for (auto day = days.rbegin(); day != days.rend(); ++day) {
        // A day holding as many strips as the document has items for it is done, whatever
        // the memory still knows of them (it keeps the newest days' items only).
        if (!WantedDay(day->first) ||
            StripStoring::StripsOn(db_, comicName_, day->first) >= static_cast<int>(day->second.size()))
            continue;
        for (const sources::ChosenItem* c : day->second) {
            const sources::FeedItem& item = c->Item;
            if (memory_.HasStored(sources::ItemIdentity(item)) || memory_.HasStored(sources::ItemIdKey(item)))
                continue;
            Pending p;
            p.Day = c->Day;
            p.Identity = sources::ItemIdentity(item);
            p.IdKey = sources::ItemIdKey(item);
            p.Pictures = item.Pictures + item.LastResortPictures;
            p.Page = item.Link;
            p.Words = {item.Title, item.PictureTitle, item.PictureAlt, item.Link, item.Note};
            pending_.push_back(std::move(p));
        }
    }

    const int page = sources::PagedFeedNumber(address_);
    if (feed.Paging.Complete)
        SetNext(Step::Feed, QString());
    else if (!feed.Paging.PrevArchive.isEmpty())
        SetNext(Step::Feed, feed.Paging.PrevArchive);
    else if (!feed.Paging.Next.isEmpty())
        SetNext(Step::Feed, feed.Paging.Next);
    else if (page >= 1 && unseen > 0 && (first || page >= 2))
        SetNext(Step::Feed, sources::PagedFeedAddress(address_, page + 1));
    else
        SetNext(Step::Feed, QString());
    if (first) {
        startNext_ = next_;
        if (memory_.OlderEnd) {
            next_.clear();
        } else if (!memory_.OlderFrom.isEmpty()) {
            next_ = memory_.OlderFrom;
            resuming_ = true;
        }
    }
    NextPending();
}

void TArchiveWalk::PageDocument(const sources::HtmlHead& head, bool first)
{
    visited_.insert(address_);
    pending_.clear();
    pendingIndex_ = 0;
    if (first) {
        // The comic's own page holds the update's strip; the archive begins before it.
        SetNext(Step::Page, head.PreviousPage);
        startNext_ = next_;
        if (memory_.OlderEnd) {
            next_.clear();
        } else if (!memory_.OlderFrom.isEmpty()) {
            next_ = memory_.OlderFrom;
            resuming_ = true;
        }
        GoOn();
        return;
    }
    std::optional<sources::FeedDate> date = head.Published;
    if (!date)
        date = sources::ParseFeedDate(HeaderValue("Last-Modified"));
    if (!date) {
        Finish(Stop::Reason, QStringLiteral("the page %1 gives no date").arg(address_));
        return;
    }
    const QDate day = StripDayOf(date->Utc, QDateTime::currentDateTimeUtc());
    SetNext(Step::Page, head.PreviousPage);
    Pending p;
    p.Day = day;
    const QString picture = sources::PagePicture(head, QString());
    p.Identity = picture.isEmpty() ? address_ : picture;
    if (Wanted(p)) {
        if (!picture.isEmpty())
            p.Pictures = QStringList{picture};
        p.Words = {head.ItemTitle.isEmpty() ? head.Title : head.ItemTitle, head.PictureTitle, head.PictureAlt,
                   head.PageAddress.isEmpty() ? address_ : head.PageAddress, head.Description};
        pending_.push_back(std::move(p));
    }
    NextPending();
}

void TArchiveWalk::ItemPageDocument(const sources::HtmlHead& head)
{
    Pending& p = pending_[pendingIndex_];
    if (const QString picture = sources::PagePicture(head, QString()); !picture.isEmpty()) {
        p.Pictures = QStringList{picture};
        if (p.Words.TitleText.isEmpty())
            p.Words.TitleText = head.PictureTitle;
        if (p.Words.AltText.isEmpty())
            p.Words.AltText = head.PictureAlt;
    }
    NextPending();
}

void TArchiveWalk::NextPending()
{
    while (pendingIndex_ < pending_.size()) {
        Pending& p = pending_[pendingIndex_];
        if (!Wanted(p)) { // stored meanwhile
            ++pendingIndex_;
            continue;
        }
        if (Stored() >= maxStrips_ && p.Day != lastStoredDay_) {
            Finish(Stop::Cap);
            return;
        }
        if (!p.Pictures.isEmpty()) {
            // A leading dot keeps a half-done download out of the store's listings.
            partPath_ = db_.ComicFolder(comicName_) + QStringLiteral("/.") +
                        StripStoring::NameFor(comicName_, p.Day, QStringLiteral(".part"));
            const int fd = OpenPartFile(partPath_);
            part_ = std::make_unique<QFile>();
            if (fd < 0 ||
                !part_->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFile::AutoCloseHandle)) {
                if (fd >= 0)
                    ::close(fd);
                part_.reset();
                Finish(Stop::Failure, QStringLiteral("cannot write %1").arg(partPath_));
                return;
            }
            Request(Step::Picture, p.Pictures.takeFirst(), QStringLiteral("Getting older strip..."));
            return;
        }
        if (!p.Page.isEmpty() && !p.PageAsked) {
            p.PageAsked = true;
            Request(Step::ItemPage, p.Page, QStringLiteral("Looking for the strip on its page..."));
            return;
        }
        ++failedItems_;
        if (firstFailure_.isEmpty())
            firstFailure_ =
                !p.Refusal.isEmpty()
                    ? p.Refusal
                    : QStringLiteral("the strip of %1 has no picture").arg(p.Day.toString(Qt::ISODate));
        ++pendingIndex_;
    }
    GoOn();
}

void TArchiveWalk::ItemFailed(const QString& reason)
{
    DropPart();
    // The item's other pictures, or its page, may still do.
    pending_[pendingIndex_].Refusal = reason;
    NextPending();
}

void TArchiveWalk::StorePicture()
{
    http_->ReceiveStream = nullptr;
    Pending& p = pending_[pendingIndex_];
    const qint64 size = part_->size();
    part_->close();
    part_.reset();
    const StripStoring::Picture judged = StripStoring::Judge(partPath_, size);
    if (!judged.IsStrip()) {
        QFile::remove(partPath_);
        p.Refusal = judged.UnshowableFormat.isEmpty()
                        ? QStringLiteral("%1 is no GIF, JPEG or PNG picture").arg(address_)
                        : QStringLiteral("the strip is a %1 picture, which Panelwick cannot show")
                              .arg(judged.UnshowableFormat);
        NextPending();
        return;
    }
    const QString name = StripStoring::Store(db_, comicName_, p.Day, judged.Extension, partPath_);
    if (name.isEmpty()) {
        Finish(Stop::Failure, QStringLiteral("cannot write the strip of %1 into %2")
                                  .arg(p.Day.toString(Qt::ISODate), db_.ComicFolder(comicName_)));
        return;
    }
    words_.emplace_back(name, p.Words);
    storedFiles_.append(name);
    lastStoredDay_ = p.Day;
    if (!p.Identity.isEmpty()) {
        memory_.Stored(p.Day, p.Identity, p.IdKey);
        Pending kept;
        kept.Day = p.Day;
        kept.Identity = p.Identity;
        kept.IdKey = p.IdKey;
        storedItems_.push_back(std::move(kept));
    }
    ++pendingIndex_;
    SetStatus(QStringLiteral("Getting older strip..."));
    NextPending();
}

void TArchiveWalk::StoreWords()
{
    // Words that cannot be written leave the strips without them; the strips themselves count.
    if (!words_.empty())
        comics::StripWordsFile::StoreAll(db_.ComicFolder(comicName_), words_);
    words_.clear();
}

void TArchiveWalk::GoOn()
{
    if (next_.isEmpty()) {
        Finish(Stop::End);
        return;
    }
    if (Stored() >= maxStrips_) {
        resumeFrom_ = next_; // this document is done: the next run begins with the next one
        Finish(Stop::Cap);
        return;
    }
    const QString address = next_;
    next_.clear();
    visited_.insert(address);
    resumeFrom_ = address;
    StoreWords();
    SaveMemory(false); // a run that is killed goes on from here next time
    Request(nextStep_, address,
            nextStep_ == Step::Feed ? QStringLiteral("Reading an older feed page...")
                                    : QStringLiteral("Reading an older page..."));
}

} // namespace pw::update
