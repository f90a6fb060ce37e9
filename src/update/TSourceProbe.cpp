#include "update/TSourceProbe.h"

#include "net/THttpCli.h"
#include "platform/IniFile.h"
#include "platform/Timer.h"
#include "platform/Tunables.h"
#include "sources/FeedReader.h"
#include "sources/HtmlHead.h"
#include "sources/TextCharset.h"
#include "update/ConnectionFailure.h"
#include "update/LastModified.h"
#include "update/PageParser.h"
#include "update/SiteAddress.h"
#include "update/StripDay.h"
#include "update/TComicDownloadInfo.h"

#include <QDateTime>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace pw::update {

namespace {

QDate LastModifiedDay(const QStringList& header)
{
    for (const QString& line : header)
        if (IsLastModifiedLine(line))
            if (const auto date = ParseLastModified(line))
                return QDate(date->Year, date->Month, date->Day);
    return {};
}

} // namespace

TSourceProbe::TSourceProbe(const platform::TIniFile& ini, QObject* parent)
    : QObject(parent), ini_(ini), http_(std::make_unique<net::THttpCli>()), timer_(new platform::Timer(this)),
      deadline_(new platform::Timer(this))
{
    http_->Agent = QStringLiteral("Panelwick/") + QStringLiteral(PANELWICK_VERSION);
    http_->OnRequestDone = [this](net::THttpCli*, net::THttpRequest, std::uint16_t error) {
        RequestDone(error);
    };
    http_->OnDocData = [this](net::THttpCli*, const char*, qint64) {
        timer_->SetEnabled(true); // each piece restarts the count
        const qint64 cap =
            fetchingPicture_ ? platform::Tunables::MaxStripBytes : TComicDownloadInfo::kMaxPageBytes;
        if (http_->BodyBytes() > cap) {
            tooLarge_ = true;
            http_->Abort();
        }
    };
    timer_->OnTimer = [this] {
        timer_->SetEnabled(false);
        deadline_->SetEnabled(false);
        timedOut_ = true;
        http_->Abort();
    };
    deadline_->OnTimer = timer_->OnTimer;
}

TSourceProbe::~TSourceProbe()
{
    http_->ReceiveStream = nullptr;
}

void TSourceProbe::Start(const QString& address)
{
    address_ = address;
    if (ini_.ReadBool(QStringLiteral("Proxy"), QStringLiteral("UseProxy"), false)) {
        http_->Proxy = ini_.ReadString(QStringLiteral("Proxy"), QStringLiteral("ProxyIP"), QString());
        http_->ProxyPort = ini_.ReadString(QStringLiteral("Proxy"), QStringLiteral("ProxyPort"), QString());
    }
    // The same overall deadline as an update: a server that drips its answer restarts
    // the time-out with every piece.
    deadline_->SetInterval(platform::Tunables::JobDeadlineMs());
    deadline_->SetEnabled(true);
    Get(PageAddress(address));
}

void TSourceProbe::Abort()
{
    if (done_)
        return;
    error_ = QStringLiteral("Stopped before an answer came.");
    http_->Abort();
}

void TSourceProbe::Get(const QString& address)
{
    body_ = std::make_unique<QBuffer>();
    body_->open(QIODevice::WriteOnly);
    http_->ReceiveStream = body_.get();
    http_->URL = address;
    timer_->SetInterval(platform::Tunables::JobTimeoutMs);
    timer_->SetEnabled(true);
    try {
        http_->StartGet();
    } catch (const std::exception& e) {
        const QString why = QString::fromLocal8Bit(e.what());
        QTimer::singleShot(0, this,
                           [this, why] { Finish(QStringLiteral("Cannot ask %1: %2").arg(address_, why)); });
    }
}

void TSourceProbe::RequestDone(unsigned error)
{
    timer_->SetEnabled(false);
    http_->ReceiveStream = nullptr;
    const int status = http_->ResponseStatus();
    const QString asked = http_->URL;
    if (!ownAnswerSeen_) {
        // What the answer names is asked only inside the local network when the comic
        // itself lives there.
        ownAnswerSeen_ = true;
        http_->RefuseLocalAddress = !http_->ServerIsLocal();
    }
    if (!error_.isEmpty())
        return Finish(error_);
    if (fetchingPicture_) { // only a preview: the comic was found whatever came back
        if (error == 0 && status >= 200 && status < 300 && !tooLarge_ && !timedOut_)
            picture_ = body_->data();
        body_.reset();
        return Finish({});
    }
    if (timedOut_)
        return Finish(QStringLiteral("Timed out: %1 did not answer in time.").arg(asked));
    if (error == net::HttpError::LocalAddress)
        return Finish(
            QStringLiteral("%1 was not asked: the comic's page names an address in the local network.")
                .arg(asked));
    if (tooLarge_)
        return Finish(QStringLiteral("%1 is larger than %2 MB.")
                          .arg(asked)
                          .arg(TComicDownloadInfo::kMaxPageBytes >> 20));
    if (error != 0)
        return Finish(ConnectionFailureText(error, http_->ResponseReason(), QUrl(asked).host()));
    if (status < 200 || status >= 300)
        return Finish(QStringLiteral("%1 could not be read: %2")
                          .arg(asked, (QString::number(status) + ' ' + http_->ResponseReason()).trimmed()));
    const QByteArray document = body_->data();
    body_.reset();
    Examine(document, http_->CurrentAddress()); // relative addresses follow redirects
}

void TSourceProbe::Examine(const QByteArray& document, const QString& address)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate today = now.date();
    const QDate pageDay = StripDayOf(LastModifiedDay(http_->ResponseHeader()), now);
    const QString site = PageSiteBase(address_, address);
    QByteArray charset;
    for (const QString& line : http_->ResponseHeader())
        if (line.startsWith(QLatin1String("Content-Type:"), Qt::CaseInsensitive))
            charset = sources::CharsetOfContentType(line.mid(13));
    if (!followedLink_ && pageDay.isValid() && !FindStripAddressInPage(document, site).isEmpty()) {
        found_ = {QStringLiteral("comic site page"),
                  sources::ScanHtmlHead(document, address, charset).Title,
                  pageDay,
                  {},
                  address_};
        return Finish({});
    }
    const sources::Feed feed = sources::ReadFeed(document, address, charset);
    if (feed.Refused)
        return Finish(QStringLiteral("%1 was refused: %2.").arg(address, feed.Error));
    if (feed.Kind != sources::FeedKind::None) {
        if (feed.Items.empty())
            return Finish(QStringLiteral("The %1 at %2 has no items.").arg(FeedKindName(feed.Kind), address));
        auto when = [&](const sources::FeedItem& i) {
            return i.Date ? i.Date->Utc : QDateTime(today, QTime(0, 0), Qt::UTC);
        };
        const std::vector<sources::FeedItem> items = WithoutFutureDates(feed.Items, now);
        const auto newest = std::max_element(items.begin(), items.end(),
                                             [&](const auto& a, const auto& b) { return when(a) < when(b); });
        // A comic found through its page follows the feed itself (feed readers do the same):
        // the page's own answer says nothing of strips published while it stayed the same.
        found_ = {FeedKindName(feed.Kind), feed.Title.isEmpty() ? pageTitle_ : feed.Title,
                  when(*newest).date(), newest->Picture, followedLink_ ? feedAddress_ : address_};
        return Finish({});
    }
    if (followedLink_)
        return Finish(QStringLiteral("The feed %1 that the page links is no RSS or Atom feed.").arg(address));
    const sources::HtmlHead head = sources::ScanHtmlHead(document, address, charset);
    if (!head.FeedAddresses.isEmpty()) {
        followedLink_ = true;
        pageTitle_ = head.Title;
        feedAddress_ = head.FeedAddresses.first();
        Get(head.FeedAddresses.first());
        return;
    }
    if (!head.Picture.isEmpty()) {
        found_ = {QStringLiteral("page with a picture"), head.Title, pageDay.isValid() ? pageDay : today,
                  head.Picture, address_};
        return Finish({});
    }
    Finish(QStringLiteral("No comic found at %1: it is no RSS or Atom feed, links no feed (<link "
                          "rel=\"alternate\">), names no picture (og:image, twitter:image) and holds no "
                          "strip of the comic site.")
               .arg(address));
}

void TSourceProbe::Finish(const QString& error)
{
    if (error.isEmpty() && FetchPicture && !fetchingPicture_ && !found_.Picture.isEmpty()) {
        fetchingPicture_ = true;
        Get(found_.Picture);
        return;
    }
    done_ = true;
    deadline_->SetEnabled(false);
    error_ = error;
    if (OnDone)
        OnDone(*this);
}

} // namespace pw::update
