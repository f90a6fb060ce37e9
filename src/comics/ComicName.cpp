#include "comics/ComicName.h"

#include "comics/TComicsList.h"

namespace pw::comics {

namespace {

constexpr qsizetype kMaxNameChars = 64;

bool Forbidden(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == u'/' || u == u'\\' || u == u'=' || u == u'[' ||
           u == u']' || c.category() == QChar::Other_Format || c.category() == QChar::Separator_Line ||
           c.category() == QChar::Separator_Paragraph;
}

} // namespace

bool IsAcceptableComicName(const QString& name, QString* why)
{
    const auto fail = [why](const QString& text) {
        if (why)
            *why = text;
        return false;
    };
    if (name.trimmed().isEmpty())
        return fail(QStringLiteral("the name is empty"));
    if (name.size() > kMaxNameChars)
        return fail(QStringLiteral("the name is longer than %1 characters").arg(kMaxNameChars));
    if (name.startsWith(QLatin1Char('.')))
        return fail(QStringLiteral("the name begins with a dot"));
    for (QChar c : name)
        if (Forbidden(c))
            return fail(QStringLiteral(
                "the name holds a path separator, a control character, \"=\", \"[\" or \"]\""));
    if (name != name.trimmed())
        return fail(QStringLiteral("the name begins or ends with a blank"));
    // What the catalogue reader would leave out: a name that is another setting's key.
    if (!TComicsList::StorableName(name))
        return fail(QStringLiteral("the name is a setting of the configuration file"));
    return true;
}

QString ComicNameFromTitle(const QString& title)
{
    QString name = title.left(4 * kMaxNameChars);
    for (QChar& c : name)
        if (Forbidden(c))
            c = QLatin1Char(' ');
    name = name.simplified();
    qsizetype start = 0;
    while (start < name.size() && (name[start] == QLatin1Char('.') || name[start] == QLatin1Char(' ')))
        ++start;
    name = name.mid(start).left(kMaxNameChars).trimmed();
    return IsAcceptableComicName(name) ? name : QString();
}

} // namespace pw::comics
