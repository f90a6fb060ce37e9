#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pw::app {

// What another Panelwick process asks of the running window, as it travels over the
// local channel: lines of "key value" (values percent-encoded) after a first line that
// names the format. Pure: no socket here.
struct TInstanceRequest {
    enum class TKind {
        Show,      // a second start: come forward (and add the comic at Address or FeedFile)
        Strips,    // --batch-update stored new strips of the comic ComicName
        Catalogue, // --add-comic or --import-opml changed the user's catalogue and choice
    };

    TKind Kind = TKind::Show;
    QString Address;            // Show: an address to add (filled into Add comic)
    QString FeedFile;           // Show: a feed saved on this computer, absolute path
    QString ComicName;          // Strips
    QByteArray ActivationToken; // Show: XDG_ACTIVATION_TOKEN of the starting process
    QByteArray StartupId;       // Show: DESKTOP_STARTUP_ID of the starting process

    QByteArray Encode() const;
    // nullopt for anything that is not a well-formed request (a stray program, garbage).
    static std::optional<TInstanceRequest> Decode(const QByteArray& bytes);

    // The answers the window gives.
    static QByteArray Done() { return QByteArrayLiteral("done\n"); }
    static QByteArray Refused() { return QByteArrayLiteral("refused\n"); }
};

} // namespace pw::app
