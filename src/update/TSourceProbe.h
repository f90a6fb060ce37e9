#pragma once

#include <QBuffer>
#include <QDate>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace pw::platform {
class TIniFile;
class Timer;
} // namespace pw::platform

namespace pw::net {
class THttpCli;
}

namespace pw::update {

// What a comic's address holds, as found by TSourceProbe.
struct TSourceFound {
    QString Kind;    // "RSS 2.0 feed", "RSS 1.0 feed", "Atom feed", "page with a picture", "comic site page"
    QString Title;   // the feed's or page's title, as the site gives it
    QDate NewestDay; // the UTC day of the newest strip
    QString Picture; // the newest strip's picture, when the answer names it
    QString Address; // what the comic follows: the feed a page links, else the address asked
};

// Asks a comic's address once (and the feed a page links to) through the configured
// proxy and says which source it holds, storing nothing: what adding a comic shows
// before the comic is added. Detection follows the update's rules.
class TSourceProbe : public QObject {
    Q_OBJECT
public:
    explicit TSourceProbe(const platform::TIniFile& ini, QObject* parent = nullptr);
    ~TSourceProbe() override;

    // Also fetch the newest strip's picture when the answer names it (a preview).
    bool FetchPicture = false;

    void Start(const QString& address); // OnDone follows, from the event loop
    void Abort();                       // OnDone follows with an error

    bool Found() const { return error_.isEmpty() && done_; }
    const TSourceFound& Result() const { return found_; }
    const QString& Error() const { return error_; }             // why nothing was found
    const QByteArray& PictureBytes() const { return picture_; } // empty when not fetched
    // The feed the page led to, as the page names it; empty when the address was the feed.
    QString LinkedFeed() const { return followedLink_ ? feedAddress_ : QString(); }

    std::function<void(TSourceProbe&)> OnDone;

private:
    void Get(const QString& address);
    void RequestDone(unsigned error);
    void Examine(const QByteArray& document, const QString& address);
    void Finish(const QString& error);

    const platform::TIniFile& ini_;
    std::unique_ptr<net::THttpCli> http_;
    std::unique_ptr<QBuffer> body_;
    platform::Timer* timer_;
    platform::Timer* deadline_; // the whole probe, however busy the server keeps it
    QString address_;
    bool followedLink_ = false;
    bool ownAnswerSeen_ = false; // the comic's own address was asked
    bool fetchingPicture_ = false;
    QByteArray picture_;
    bool timedOut_ = false;
    bool tooLarge_ = false;
    bool done_ = false;
    TSourceFound found_;
    QString pageTitle_;
    QString feedAddress_; // the feed the page links, as it links it
    QString error_;
};

} // namespace pw::update
