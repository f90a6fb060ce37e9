#include "comics/TComicRename.h"

#include "comics/StripWords.h"
#include "comics/TUserCatalogue.h"
#include "comics/TextLines.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pw::comics {

namespace {

const QString kComics = QStringLiteral("Comics");
constexpr qint64 kMaxSmallFile = 64 * 1024 * 1024;

QByteArray ReadSmall(const QString& path, bool* ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly) && f.size() <= kMaxSmallFile;
    return *ok ? f.readAll() : QByteArray();
}

bool Fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

TComicRename::TComicRename(QString comicsDir, QString userCataloguePath, platform::TIniFile& ini)
    : dir_(std::move(comicsDir)), userCatalogue_(std::move(userCataloguePath)), ini_(ini)
{
    if (!dir_.endsWith(QLatin1Char('/')))
        dir_ += QLatin1Char('/');
}

QString TComicRename::JournalPath(const QString& userCataloguePath)
{
    return userCataloguePath + QStringLiteral(".renaming");
}

QString TComicRename::RenamedFile(const QString& fileName, const QString& oldName, const QString& newName)
{
    if (!fileName.startsWith(oldName))
        return {};
    const QString rest = fileName.mid(oldName.size());
    if (rest.size() < 8)
        return {};
    for (qsizetype i = 0; i < 8; ++i)
        if (!rest[i].isDigit() || rest[i].unicode() > '9')
            return {};
    // A ninth digit means the name goes on: "Comic2" + date is no strip of "Comic".
    if (rest.size() > 8 && rest[8].isDigit())
        return {};
    const QDate date(rest.left(4).toInt(), rest.mid(4, 2).toInt(), rest.mid(6, 2).toInt());
    return date.isValid() ? newName + rest : QString();
}

bool TComicRename::Run(const QString& oldName, const QString& newName, const QString& newAddress,
                       QString* error)
{
    // A rename left unfinished first; when it is this very one, finishing it is all there is to do.
    if (const std::optional<Journal> pending = ReadJournal()) {
        if (!Finish(*pending, false, error))
            return false;
        if (pending->from == oldName && pending->to == newName && pending->address == newAddress)
            return true;
    }
    bool found = false;
    if (oldName == newName) {
        QString why;
        if (!TUserCatalogue::Replace(userCatalogue_, oldName, newName, newAddress, &found, &why))
            return Fail(error, why);
        return found || Fail(error, QStringLiteral("%1 is not in your own catalogue").arg(oldName));
    }
    // Checked before anything changes.
    {
        bool ok = false;
        const QByteArray catalogue = ReadSmall(userCatalogue_, &ok);
        const QByteArray match = oldName.toLocal8Bit() + '\t';
        for (const std::string_view line : SplitLines(catalogue))
            found = found || QByteArray(line.data(), static_cast<qsizetype>(line.size())).startsWith(match);
        if (!found)
            return Fail(error, QStringLiteral("%1 is not in your own catalogue").arg(oldName));
    }
    // Strips of a removed comic of that name would mix with these.
    if (QFileInfo::exists(dir_ + newName) && oldName.compare(newName, Qt::CaseInsensitive) != 0)
        return Fail(error,
                    QStringLiteral("the comics folder holds a folder named \"%1\" already").arg(newName));

    Journal journal{oldName, newName, newAddress, ini_.ReadBool(kComics, oldName, false)};
    const QByteArray text = "From=" + oldName.toUtf8() + "\nTo=" + newName.toUtf8() +
                            "\nAddress=" + newAddress.toUtf8() + "\nChosen=" + (journal.chosen ? "1" : "0") +
                            "\n";
    if (!platform::SafeFile::Write(JournalPath(userCatalogue_), text))
        return Fail(error, QStringLiteral("cannot write %1").arg(JournalPath(userCatalogue_)));
    return Finish(journal, true, error);
}

bool TComicRename::Resume(QString* error)
{
    const std::optional<Journal> journal = ReadJournal();
    return !journal || Finish(*journal, false, error);
}

std::optional<TComicRename::Journal> TComicRename::ReadJournal() const
{
    const QString path = JournalPath(userCatalogue_);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    bool ok = false;
    const QByteArray bytes = ReadSmall(path, &ok);
    Journal journal;
    for (const QByteArray& line : bytes.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "From")
            journal.from = value;
        else if (key == "To")
            journal.to = value;
        else if (key == "Address")
            journal.address = value;
        else if (key == "Chosen")
            journal.chosen = value == QLatin1String("1");
    }
    // Written whole or not at all; anything else is not ours to act on.
    if (!ok || journal.from.isEmpty() || journal.to.isEmpty() || journal.address.isEmpty()) {
        QFile::remove(path);
        return std::nullopt;
    }
    return journal;
}

bool TComicRename::Finish(const Journal& journal, bool first, QString* error)
{
    if (!MoveFolder(journal, error)) {
        // Nothing has changed yet: the rename is refused, not left half done.
        if (first && QFileInfo::exists(dir_ + journal.from))
            QFile::remove(JournalPath(userCatalogue_));
        return false;
    }
    bool found = false;
    QString why;
    if (!RenameStrips(journal, error) || !RenameMarker(journal, error) || !RenameWords(journal, error))
        return false;
    if (!TUserCatalogue::Replace(userCatalogue_, journal.from, journal.to, journal.address, &found, &why))
        return Fail(error, why);
    RenameSettings(journal);
    QFile::remove(JournalPath(userCatalogue_));
    return true;
}

bool TComicRename::MoveFolder(const Journal& journal, QString* error)
{
    const QString from = dir_ + journal.from;
    const QString to = dir_ + journal.to;
    if (!QFileInfo(from).isDir())
        return true; // moved already, or the comic never had strips
    if (!QFileInfo::exists(to)) {
        if (QDir().rename(from, to))
            return true;
        return Fail(error, QStringLiteral("cannot rename the folder %1").arg(from));
    }
    // Both exist only when something stored strips under the old name after the crash:
    // they join the others.
    const QDir old(from);
    for (const QString& entry :
         old.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (!QFileInfo::exists(to + QLatin1Char('/') + entry))
            QDir().rename(old.filePath(entry), to + QLatin1Char('/') + entry);
    QDir().rmdir(from);
    return true;
}

bool TComicRename::RenameStrips(const Journal& journal, QString* error)
{
    const QDir folder(dir_ + journal.to);
    if (!folder.exists())
        return true;
    for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString renamed = RenamedFile(entry, journal.from, journal.to);
        if (renamed.isEmpty() || QFileInfo::exists(folder.filePath(renamed)))
            continue;
        if (!QDir().rename(folder.filePath(entry), folder.filePath(renamed)))
            return Fail(error, QStringLiteral("cannot rename %1").arg(folder.filePath(entry)));
    }
    return true;
}

bool TComicRename::RenameMarker(const Journal& journal, QString* error)
{
    const QString folder = dir_ + journal.to + QLatin1Char('/');
    const QString from = folder + journal.from + QStringLiteral(".unr");
    if (!QFileInfo::exists(from))
        return true;
    bool ok = false;
    const QByteArray bytes = ReadSmall(from, &ok);
    if (!ok)
        return Fail(error, QStringLiteral("cannot read %1").arg(from));
    QByteArray out;
    for (const std::string_view line : SplitLines(bytes)) {
        const QString name = QFile::decodeName(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
        const QString renamed = RenamedFile(name, journal.from, journal.to);
        out += QFile::encodeName(renamed.isEmpty() ? name : renamed) + "\r\n";
    }
    // The new marker whole first; the old one goes only once the new one is there.
    const QString to = folder + journal.to + QStringLiteral(".unr");
    if (!platform::SafeFile::Write(to, out))
        return Fail(error, QStringLiteral("cannot write %1").arg(to));
    if (from != to)
        QFile::remove(from);
    return true;
}

bool TComicRename::RenameWords(const Journal& journal, QString* error)
{
    const QString path = dir_ + journal.to + QStringLiteral("/.words");
    if (!QFileInfo::exists(path))
        return true;
    bool ok = false;
    StripWordsList list = ParseStripWords(ReadSmall(path, &ok));
    if (!ok)
        return true; // the words are a nicety; an unreadable file loses nothing the strips need
    bool changed = false;
    for (auto& [fileName, words] : list) {
        const QString renamed = RenamedFile(fileName, journal.from, journal.to);
        if (!renamed.isEmpty()) {
            fileName = renamed;
            changed = true;
        }
    }
    if (changed && !platform::SafeFile::Write(path, FormatStripWords(list)))
        return Fail(error, QStringLiteral("cannot write %1").arg(path));
    return true;
}

void TComicRename::RenameSettings(const Journal& journal)
{
    ini_.WriteBool(kComics, journal.to, journal.chosen);
    // Keys match without regard to case: a rename in letter case only has one key.
    if (journal.from.compare(journal.to, Qt::CaseInsensitive) != 0)
        ini_.WriteBool(kComics, journal.from, false);
    if (ini_.ReadString(kComics, QStringLiteral("CurrentComic"), QString()) == journal.from)
        ini_.WriteString(kComics, QStringLiteral("CurrentComic"), journal.to);
    if (ini_.ReadString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"), QString()) == journal.from)
        ini_.WriteString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"), journal.to);
}

} // namespace pw::comics
