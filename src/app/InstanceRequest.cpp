#include "app/InstanceRequest.h"

#include <QByteArrayList>
#include <QStringDecoder>

namespace pw::app {

namespace {

constexpr char kFirstLine[] = "panelwick-request 1";
constexpr qsizetype kMaxValue = 8192;

QByteArray KindWord(TInstanceRequest::TKind kind)
{
    switch (kind) {
    case TInstanceRequest::TKind::Show:
        return "show";
    case TInstanceRequest::TKind::Strips:
        return "strips";
    case TInstanceRequest::TKind::Catalogue:
        return "catalogue";
    }
    return {};
}

void Line(QByteArray& out, const char* key, const QByteArray& value)
{
    out += key;
    out += ' ';
    out += value.toPercentEncoding();
    out += '\n';
}

// Text without control characters, from valid UTF-8; nullopt otherwise.
std::optional<QString> Text(const QByteArray& encoded)
{
    const QByteArray raw = QByteArray::fromPercentEncoding(encoded);
    if (raw.size() > kMaxValue)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(raw);
    if (utf8.hasError())
        return std::nullopt;
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return std::nullopt;
    return text;
}

} // namespace

QByteArray TInstanceRequest::Encode() const
{
    QByteArray out = QByteArray(kFirstLine) + '\n' + KindWord(Kind) + '\n';
    if (!Address.isEmpty())
        Line(out, "address", Address.toUtf8());
    if (!FeedFile.isEmpty())
        Line(out, "feed-file", FeedFile.toUtf8());
    if (!ComicName.isEmpty())
        Line(out, "comic", ComicName.toUtf8());
    if (!ActivationToken.isEmpty())
        Line(out, "activation-token", ActivationToken);
    if (!StartupId.isEmpty())
        Line(out, "startup-id", StartupId);
    return out;
}

std::optional<TInstanceRequest> TInstanceRequest::Decode(const QByteArray& bytes)
{
    if (!bytes.endsWith('\n'))
        return std::nullopt; // cut short
    QByteArrayList lines = bytes.chopped(1).split('\n');
    if (lines.size() < 2 || lines[0] != kFirstLine)
        return std::nullopt;
    TInstanceRequest request;
    if (lines[1] == "show")
        request.Kind = TKind::Show;
    else if (lines[1] == "strips")
        request.Kind = TKind::Strips;
    else if (lines[1] == "catalogue")
        request.Kind = TKind::Catalogue;
    else
        return std::nullopt;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype blank = line.indexOf(' ');
        if (blank <= 0)
            return std::nullopt;
        const QByteArray key = line.left(blank);
        if (key == "activation-token" || key == "startup-id") {
            // Opaque to us: handed on to the window system as they came, NUL aside.
            const QByteArray token = QByteArray::fromPercentEncoding(line.mid(blank + 1));
            if (token.size() <= kMaxValue && !token.contains('\0'))
                (key == "startup-id" ? request.StartupId : request.ActivationToken) = token;
            continue;
        }
        const std::optional<QString> value = Text(line.mid(blank + 1));
        if (!value)
            return std::nullopt;
        if (key == "address")
            request.Address = *value;
        else if (key == "feed-file")
            request.FeedFile = *value;
        else if (key == "comic")
            request.ComicName = *value;
        // Other keys are a later version's: passed over.
    }
    if (request.Kind == TKind::Strips && request.ComicName.isEmpty())
        return std::nullopt;
    if (!request.FeedFile.isEmpty() && !request.FeedFile.startsWith(QLatin1Char('/')))
        return std::nullopt;
    return request;
}

} // namespace pw::app
