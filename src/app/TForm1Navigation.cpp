// Showing strips, stepping through strips, comics and unread strips, and the three notices.
#include "app/TForm1.h"

#include "app/StripPicture.h"
#include "app/StripView.h"
#include "app/UnreadMarks.h"
#include "comics/StripWordsFile.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "imaging/TGifDecoder.h"
#include "imaging/TStripDecoder.h"
#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/Timer.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <exception>

namespace pw::app {

void TForm1::SetPicture(const QImage& image)
{
    decoding_.reset(); // a strip still being decoded would come after what is shown now
    if (image.isNull())
        Image1->clear();
    else
        Image1->setPicture(image);
}

QImage TForm1::ShownPicture() const
{
    // Printing takes the picture in the 32-bit form it always had, whatever the decoder
    // kept for the screen.
    const QImage& shown = Image1->picture();
    return shown.isNull() || shown.format() == QImage::Format_RGB32
               ? shown
               : shown.convertToFormat(QImage::Format_RGB32);
}

void TForm1::ShowComic(const QString& name)
{
    currentComic_ = allComics_.FindByName(name);
    // The mark follows the chosen comic, also when its strip cannot be drawn.
    UpdateWallpaperCheck();
    if (!currentComic_) {
        // Nothing to show (an empty selector): no strip, rather than a stale one.
        ShowWords(nullptr, std::nullopt);
        SetPicture({});
        lblCurrentDate->setText(QStringLiteral("No strips yet"));
        return;
    }
    std::optional<comics::TComicStrip> strip = stripsDB_->FirstUnreadStrip(name);
    if (!strip)
        strip = currentComic_->CurrentStrip ? currentComic_->CurrentStrip : stripsDB_->NewestStrip(name);
    ShowStrip(*currentComic_, strip);
}

void TForm1::ShowStrip(comics::TComicInfo& comic, const std::optional<comics::TComicStrip>& strip)
{
    comic.CurrentStrip = strip;
    ShowWords(&comic, strip);
    if (!strip) {
        SetPicture({});
        lblCurrentDate->setText(QStringLiteral("No strips yet"));
        failedStrip_.clear();
        return;
    }
    const QString path = strip->StripPath();
    // A marker file that cannot be rewritten must not leave the previous strip on screen
    // as if it were the current one: the strip is drawn, then the failure reported.
    std::exception_ptr markFailed;
    try {
        stripsDB_->MarkRead(*strip);
    } catch (...) {
        markFailed = std::current_exception();
    }
    unread_->Refresh(comic.Name);
    // "5 Dec 2026 – Rain" for a strip whose feed gave it a title; a long one is cut, as
    // the buttons beside it must stay where they are.
    constexpr qsizetype kTitleChars = 60;
    QString title = shownWords_.Title;
    if (title.size() > kTitleChars) {
        title.truncate(kTitleChars - 1);
        if (title.back().isHighSurrogate())
            title.chop(1);
        title += QChar(0x2026);
    }
    lblCurrentDate->setText(title.isEmpty() ? comic.DateText()
                                            : comic.DateText() + QStringLiteral(" \u2013 ") + title);
    try {
        DrawStripFile(path);
    } catch (...) {
        // The old picture under the new date would be the wrong strip.
        Image1->clear();
        failedStrip_ = path;
        throw;
    }
    if (markFailed) {
        failedStrip_ = path;
        std::rethrow_exception(markFailed);
    }
    failedStrip_.clear();
}

void TForm1::DrawStripFile(const QString& path)
{
    if (decoding_ && decoding_->path == path)
        return;        // a resize while the window opens: the strip is still being decoded
    decoding_.reset(); // waits for a decode no longer wanted
    // The stamp comes first: a change while decoding gives the file a later one.
    const auto stamp = platform::FileStamp::Of(QFile::encodeName(path));
    if (stamp && drawn_.stamp && path == drawn_.path && *stamp == *drawn_.stamp) {
        Image1->setPicture(drawn_.picture);
        return;
    }
    drawn_ = {};
    if (decodeAside_) {
        decoding_ = DecodingStrip{path, stamp, std::async(std::launch::async, [path] {
                                      return imaging::TStripDecoder::LoadFromFile(path);
                                  })};
        return;
    }
    DrawDecoded(path, stamp, imaging::TStripDecoder::LoadFromFile(path));
}

void TForm1::DrawDecoded(const QString& path, const std::optional<platform::FileStamp>& stamp,
                         const QImage& picture)
{
    SetPicture(picture);
    // Like a folder listing, the file's time stamp proves nothing until it has settled.
    if (stamp && stamp->Settled() && !Image1->picture().isNull())
        drawn_ = {path, stamp, Image1->picture()};
}

void TForm1::DecodeAside(bool on)
{
    decodeAside_ = on;
    if (on || !decoding_)
        return;
    DecodingStrip strip = std::move(*decoding_);
    decoding_.reset();
    // Reported as a strip that fails to draw at once would be, and start-up goes on.
    platform::Guarded([&] {
        try {
            DrawDecoded(strip.path, strip.stamp, strip.picture.get());
        } catch (...) {
            Image1->clear();
            failedStrip_ = strip.path;
            throw;
        }
    });
}

void TForm1::RedrawStrip()
{
    if (!currentComic_ || !stripsDB_)
        return;
    // A strip that failed to draw was reported once; drawing it again for a resize or
    // at the end of a notice must not pile up error boxes.
    const QString before = failedStrip_;
    try {
        ShowStrip(*currentComic_, currentComic_->CurrentStrip);
    } catch (...) {
        if (before.isEmpty() || before != failedStrip_)
            throw;
    }
}

void TForm1::ShowNotice(const QByteArray& gif, platform::Timer& timer)
{
    SetPicture(imaging::TGifDecoder::GetGIFBuffer(gif));
    timer.SetEnabled(true);
}

bool TForm1::EndNotices(platform::Timer& own)
{
    const bool ownShowing = own.Enabled();
    for (platform::Timer* timer : {NoStripsTimer, NoComicsTimer, NoUnreadTimer}) {
        if (timer->Enabled())
            timer->SetEnabled(false); // another kind's notice ends without a redraw
    }
    if (!ownShowing)
        return false;
    // The key only ends its own kind of notice: the strip comes back.
    RedrawStrip();
    return true;
}

void TForm1::btnPrevClick()
{
    StepStrip(false);
}

void TForm1::btnNextClick()
{
    StepStrip(true);
}

void TForm1::StepStrip(bool forward)
{
    if (!currentComic_ || EndNotices(*NoStripsTimer))
        return;
    const auto strip =
        forward ? stripsDB_->NextStrip(*currentComic_) : stripsDB_->PreviousStrip(*currentComic_);
    if (strip)
        ShowStrip(*currentComic_, strip);
    else
        ShowNotice(notices_.EndOfStrips, *NoStripsTimer);
}

void TForm1::FirstStrip()
{
    StepToEnd(false);
}

void TForm1::NewestStrip()
{
    StepToEnd(true);
}

void TForm1::StepToEnd(bool newest)
{
    if (!currentComic_ || EndNotices(*NoStripsTimer))
        return;
    const auto strip =
        newest ? stripsDB_->NewestStrip(currentComic_->Name) : stripsDB_->OldestStrip(currentComic_->Name);
    // Already there: as a step past the end, the notice tells so.
    if (strip && !(currentComic_->CurrentStrip && currentComic_->CurrentStrip->FileName == strip->FileName))
        ShowStrip(*currentComic_, strip);
    else
        ShowNotice(notices_.EndOfStrips, *NoStripsTimer);
}

void TForm1::NextComic()
{
    StepComic(+1);
}

void TForm1::PreviousComic()
{
    StepComic(-1);
}

void TForm1::StepComic(int step)
{
    if (EndNotices(*NoComicsTimer))
        return;
    const int index = comboComics->currentIndex() + step;
    if (index >= 0 && index < comboComics->count()) { // no wrap-around
        comboComics->setCurrentIndex(index);
        ShowComic(comboComics->currentText());
    } else {
        ShowNotice(notices_.EndOfComics, *NoComicsTimer);
    }
}

void TForm1::NextUnread()
{
    if (EndNotices(*NoUnreadTimer))
        return;
    if (currentComic_) {
        if (auto strip = stripsDB_->FirstUnreadStrip(currentComic_->Name)) {
            ShowStrip(*currentComic_, strip);
            return;
        }
    }
    // The comics after the current one in selector order, once around.
    const int count = comboComics->count();
    const int from = comboComics->currentIndex();
    for (int step = 1; step <= count; ++step) {
        const int index = (from + step) % count;
        if (stripsDB_->FirstUnreadStrip(comboComics->itemText(index))) {
            comboComics->setCurrentIndex(index);
            ShowComic(comboComics->currentText());
            return;
        }
    }
    ShowNotice(notices_.NoUnread, *NoUnreadTimer);
}

void TForm1::NoStripsTimerTimer(platform::Timer& fired)
{
    fired.SetEnabled(false);
    RedrawStrip();
}

void TForm1::FormResize()
{
    RedrawStrip();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    platform::Guarded([this] { FormResize(); });
}

void TForm1::comboComicsChange()
{
    ShowComic(comboComics->currentText());
}

void TForm1::FillComicSelector()
{
    comboComics->clear();
    comboComics->addItems(comicsToGet_.Names());
    unread_->Refill();
}

void TForm1::ShowWords(const comics::TComicInfo* comic, const std::optional<comics::TComicStrip>& strip)
{
    shownWords_ = comic && strip && stripsDB_ && comics::TComicStripsDB::IsUsableName(comic->Name)
                      ? wordsFile_.Find(stripsDB_->ComicFolder(comic->Name), strip->FileName)
                      : comics::StripWords();
    Image1->setToolTip(shownWords_.TitleText);
    Image1->setAccessibleName(shownWords_.Title.isEmpty() ? QStringLiteral("Strip") : shownWords_.Title);
    Image1->setAccessibleDescription(!shownWords_.TitleText.isEmpty() ? shownWords_.TitleText
                                                                      : shownWords_.AltText);
    lblTitleText->setText(shownWords_.TitleText);
    const bool wanted = ShowTitleText1->isChecked() && !shownWords_.TitleText.isEmpty();
    if (lblTitleText->isVisibleTo(this) != wanted)
        lblTitleText->setVisible(wanted);
    for (QAction* a : {OpenStripPage1, OpenStripPage2, CopyStripPageAddress2})
        a->setEnabled(!shownWords_.Page.isEmpty());
}

void TForm1::ShowTitleText1Click(bool on)
{
    ShowTitleText1->setChecked(on);
    if (ini_)
        ini_->WriteBool(QStringLiteral("View"), QStringLiteral("ShowTitleText"), on);
    lblTitleText->setVisible(on && !shownWords_.TitleText.isEmpty());
}

void TForm1::SetZoom(const StripZoom& zoom)
{
    scrollStrip->SetZoom(zoom);
    UpdateZoomChecks();
    if (ini_)
        ini_->WriteString(QStringLiteral("View"), QStringLiteral("Zoom"), zoom.Text());
}

void TForm1::ZoomStep(bool in)
{
    SetZoom(StripZoom::StepFrom(scrollStrip->Scale(), in));
}

void TForm1::UpdateZoomChecks()
{
    const StripZoom::Mode mode = scrollStrip->Zoom().GetMode();
    FitToWindow1->setChecked(mode == StripZoom::Mode::FitToWindow);
    FitWidth1->setChecked(mode == StripZoom::Mode::FitWidth);
    ActualSize1->setChecked(mode == StripZoom::Mode::ActualSize);
}

void TForm1::UpdateWallpaperCheck()
{
    if (!ini_)
        return;
    const bool on = currentComic_ && ini_->ReadString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"),
                                                      QString()) == currentComic_->Name;
    AlwaysSetLatestStrip1->setChecked(on);
    AlwaysSetLatestStrip2->setChecked(on);
}

} // namespace pw::app
