// The update job's strips from a feed or a page: each one its own attempt, its pictures
// tried in turn, failures remembered for the next updates. See TComicDownloadInfoSources.cpp
// for how the job gets here.
#include "update/TComicDownloadInfo.h"

#include "comics/StripWordsFile.h"
#include "comics/TComicStripsDB.h"
#include "net/THttpCli.h"
#include "sources/PictureFormat.h"
#include "update/StripNaming.h"
#include "update/StripStoring.h"

#include <QFile>

namespace pw::update {

void TComicDownloadInfo::StartNextPending()
{
    while (pendingIndex_ < pending_.size()) {
        PendingStrip& next = pending_[pendingIndex_];
        if (!next.Pictures.isEmpty()) {
            const QString picture = next.Pictures.takeFirst();
            StartPicture(next, picture);
            return;
        }
        if (!next.Page.isEmpty() && !next.PageAsked && !pageFollowed_) {
            next.PageAsked = true;
            StartDocument(Step::ItemPage, next.Page, QStringLiteral("Looking for the strip on its page..."));
            return;
        }
        if (!next.LastResort.isEmpty()) {
            next.Pictures = next.LastResort;
            next.LastResort.clear();
            continue;
        }
        if (!next.Refusal.isEmpty()) {
            // The pictures it named are none the program can use.
            ItemFailed(next.Refusal, next.Unshowable);
            return;
        }
        // An item with no picture, and no page naming one, is no strip.
        ++noPictureItems_;
        if (!pageFollowed_) {
            memory_.Failed(next.Day, next.FirstPicture, next.Page, true); // known as the item it was
            memoryChanged_ = true;
        }
        ++pendingIndex_;
    }
    FinishSources(QString());
}

void TComicDownloadInfo::ItemFailed(const QString& reason, bool permanent)
{
    DropPartFile();
    const PendingStrip& item = pending_[pendingIndex_];
    if (firstFailure_.isEmpty())
        firstFailure_ = reason;
    ++failedItems_;
    if (!pageFollowed_) {
        memory_.Failed(item.Day, item.FirstPicture, item.Page, permanent);
        memoryChanged_ = true;
    } else if (permanent) {
        // The page's picture is one the program cannot use: not asked for again until the
        // page names another.
        memory_.Picture = item.FirstPicture;
        memoryChanged_ = true;
    }
    ++pendingIndex_;
    StartNextPending();
}

void TComicDownloadInfo::StartPicture(const PendingStrip& strip, const QString& picture)
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
    http_->URL = picture;
    SetState(kGettingStrip, QStringLiteral("Getting new strip..."));
    RestartTimer();
    StartRequest();
}

void TComicDownloadInfo::DropPartFile()
{
    if (!stripFile_)
        return;
    http_->ReceiveStream = nullptr;
    stripFile_->close();
    QFile::remove(partPath_);
    stripFile_.reset();
}

void TComicDownloadInfo::StorePicture()
{
    http_->ReceiveStream = nullptr;
    PendingStrip& strip = pending_[pendingIndex_];
    const QString picture = http_->URL;
    const qint64 size = stripFile_->size();
    stripFile_->close();
    const QString part = partPath_;
    stripFile_.reset();
    const StripStoring::Picture judged = StripStoring::Judge(part, size);
    if (!judged.IsStrip()) {
        QFile::remove(part);
        // A tracking pixel is no strip, and no fault of the item either. A format the
        // program cannot show will not change by asking again; an error page may.
        if (judged.Extension.isEmpty() && !judged.UnshowableFormat.isEmpty()) {
            strip.Refusal = QStringLiteral("the strip is a %1 picture, which Panelwick cannot show")
                                .arg(judged.UnshowableFormat);
            strip.Unshowable = true;
        } else if (judged.Extension.isEmpty() && strip.Refusal.isEmpty()) {
            strip.Refusal = QStringLiteral("the picture %1 is neither GIF, JPEG nor PNG").arg(picture);
        }
        StartNextPending();
        return;
    }
    QString target;
    const QString name = StripStoring::Store(db_, comicName_, strip.Day, judged.Extension, part, &target);
    if (name.isEmpty()) {
        FinishSources(QStringLiteral("cannot write %1").arg(target));
        return;
    }
    // Only NewStripFiles names them: StripFilePath stays empty, so a job that ends aborted
    // or timed out after storing some leaves those complete strips where they are.
    newStrips_.append(name);
    downloadedSize_ += size;
    // Words that cannot be written leave the strip without them; the strip itself counts.
    comics::StripWordsFile::Store(db_.ComicFolder(comicName_), name, strip.Words);
    if (pageFollowed_)
        memory_.Picture = picture;
    else
        memory_.Stored(strip.Day, strip.Identity(), strip.IdKey);
    memoryChanged_ = true;
    ++pendingIndex_;
    StartNextPending();
}

void TComicDownloadInfo::FinishSources(const QString& failure)
{
    DropPartFile();
    pending_.clear();
    pendingIndex_ = 0;
    const QString first = !firstFailure_.isEmpty() ? firstFailure_ : failure;
    if (!newStrips_.isEmpty()) {
        // What was stored stays; an item that failed is asked for again next time.
        incomplete_ = !failure.isEmpty() || memory_.RetriesPending();
        QStringList notes;
        if (!first.isEmpty())
            notes << QStringLiteral("failed: ") + first;
        if (leftOver_ > 0)
            notes << QStringLiteral("%1 more: Update \u2192 Fetch Older Strips").arg(leftOver_);
        if (notes.isEmpty())
            SetState(kNewStrip, QStringLiteral("New strip updated"));
        else
            SetState(kNewStrip, QStringLiteral("New strip updated (%1 stored; %2)")
                                    .arg(newStrips_.size())
                                    .arg(notes.join(QStringLiteral("; "))));
        return;
    }
    if (first.isEmpty() && noPictureItems_ > 0 && pageFollowed_) {
        SetState(kFailed, NoPictureText());
        return;
    }
    const QString why = !first.isEmpty()      ? first
                        : noPictureItems_ > 0 ? QStringLiteral("the feed's items carry no picture")
                                              : QStringLiteral("no new strip was found");
    SetState(kFailed, QStringLiteral("Failed: ") + why);
}

} // namespace pw::update
