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

QString FreeComicName(const QString& proposed, const std::function<bool(const QString&)>& taken)
{
    if (!taken(proposed))
        return proposed;
    for (int n = 2;; ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        const QString name = proposed.left(kMaxNameChars - suffix.size()).trimmed() + suffix;
        if (!taken(name))
            return name;
    }
}

QString NameInUseText(const QString& holder, const QString& name)
{
    if (holder == name)
        return QStringLiteral("A comic named \"%1\" is already in the catalogue.").arg(name);
    return QStringLiteral(
               "A comic named \"%1\" is already in the catalogue; names that differ only in letter "
               "case are one name to the settings.")
        .arg(holder);
}

} // namespace pw::comics
