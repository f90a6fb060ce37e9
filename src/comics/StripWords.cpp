#include "comics/StripWords.h"

#include <QHash>
#include <QStringList>
#include <QUrl>

namespace pw::comics {

namespace {
constexpr char kHeader[] = "# Panelwick strip words: file name, title, title text, alt text, page, note";
constexpr qsizetype kMaxFileName = 255;
// The longest line the fields' limits allow, in UTF-8.
constexpr qsizetype kMaxLine =
    4 * (kMaxFileName + StripWords::kMaxTitle + 3 * StripWords::kMaxText + StripWords::kMaxPage) + 8;

bool Dropped(char32_t c)
{
    // C0, DEL and C1 controls, and the marks that reorder text around them.
    return c < 0x20 || (c >= 0x7f && c < 0xa0) || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f || c == 0xfeff;
}

QString HttpAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return text;
}
} // namespace

bool StripWords::IsEmpty() const
{
    return Title.isEmpty() && TitleText.isEmpty() && AltText.isEmpty() && Page.isEmpty() && Note.isEmpty();
}

QString StripWords::Clean(const QString& text, qsizetype limit)
{
    QString out;
    out.reserve(std::min(text.size(), limit + 1));
    for (char32_t c : text.toUcs4()) {
        if (c == '\t' || c == '\n' || c == '\r' || c == 0x85 || c == 0x2028 || c == 0x2029)
            c = ' ';
        if (Dropped(c))
            continue;
        out += QString::fromUcs4(&c, 1);
        if (out.size() > 4 * limit + 16)
            break; // enough to fold and cut
    }
    out = out.simplified();
    if (out.size() > limit) {
        out.truncate(limit);
        if (!out.isEmpty() && out.back().isHighSurrogate())
            out.chop(1);
    }
    return out;
}

StripWords StripWords::Cleaned() const
{
    StripWords w;
    w.Title = Clean(Title, kMaxTitle);
    w.TitleText = Clean(TitleText, kMaxText);
    w.AltText = Clean(AltText, kMaxText);
    w.Page = HttpAddress(Clean(Page, kMaxPage));
    w.Note = Clean(Note, kMaxText);
    return w;
}

StripWordsList ParseStripWords(const QByteArray& bytes)
{
    StripWordsList list;
    QHash<QString, std::size_t> index;
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', from);
        if (end < 0)
            end = bytes.size();
        const QByteArray line = bytes.mid(from, end - from);
        from = end + 1;
        if (line.isEmpty() || line.startsWith('#') || line.size() > kMaxLine)
            continue;
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        const QString fileName = StripWords::Clean(fields.value(0), kMaxFileName);
        if (fileName.isEmpty())
            continue;
        const StripWords words =
            StripWords{fields.value(1), fields.value(2), fields.value(3), fields.value(4), fields.value(5)}
                .Cleaned();
        // A strip stored again replaces its line.
        const auto same = index.constFind(fileName);
        if (same != index.constEnd()) {
            list[*same].second = words;
        } else {
            index.insert(fileName, list.size());
            list.emplace_back(fileName, words);
        }
    }
    return list;
}

QByteArray FormatStripWords(const StripWordsList& list)
{
    QByteArray out(kHeader);
    out += '\n';
    for (const auto& [fileName, words] : list) {
        const StripWords w = words.Cleaned();
        const QString line =
            QStringList{
                StripWords::Clean(fileName, kMaxFileName), w.Title, w.TitleText, w.AltText, w.Page, w.Note}
                .join(QLatin1Char('\t'));
        out += line.toUtf8();
        out += '\n';
    }
    return out;
}

} // namespace pw::comics
