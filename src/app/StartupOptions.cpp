#include "app/StartupOptions.h"

#include "app/BuildVersion.h"

#include <QFileInfo>
#include <QUrl>
#include <array>

namespace pw::app {

namespace {

// Options QGuiApplication and QApplication take for themselves; they are removed from
// the arguments when the window's application object is made.
constexpr std::array kQtOptionsWithValue = {
    "-platform",    "-platformpluginpath", "-platformtheme", "-plugin",  "-qwindowgeometry",
    "-qwindowicon", "-qwindowtitle",       "-session",       "-display", "-geometry",
    "-style",       "-stylesheet",         "-qmljsdebugger"};
constexpr std::array kQtFlags = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

// How many arguments from `i` are Qt's (0 when arguments[i] is not).
int QtOptionLength(const QStringList& arguments, qsizetype i)
{
    const QString& a = arguments[i];
    for (const char* flag : kQtFlags)
        if (a == QLatin1String(flag))
            return 1;
    for (const char* option : kQtOptionsWithValue) {
        const QLatin1String name(option);
        if (a.startsWith(name + QLatin1Char('=')))
            return 1;
        if (a == name)
            return i + 1 < arguments.size() ? 2 : 0;
    }
    return 0;
}

} // namespace

std::optional<TStartupOptions> TStartupOptions::Parse(const QStringList& arguments, QString* error)
{
    TStartupOptions options;
    const auto fail = [error](const QString& text) -> std::optional<TStartupOptions> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--program-folder")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return fail(QStringLiteral("--program-folder needs a folder."));
            options.ProgramFolderArgument = arguments[++i];
        } else if (a.startsWith(QLatin1String("--program-folder="))) {
            options.ProgramFolderArgument = a.mid(qsizetype(qstrlen("--program-folder=")));
            if (options.ProgramFolderArgument.isEmpty())
                return fail(QStringLiteral("--program-folder needs a folder."));
        } else if (a == QLatin1String("--batch-update")) {
            options.Mode = TMode::BatchUpdate;
        } else if (a == QLatin1String("--add-comic")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return fail(QStringLiteral("--add-comic needs an address."));
            options.Mode = TMode::AddComic;
            options.AddAddress = arguments[++i];
        } else if (a == QLatin1String("--import-opml") || a == QLatin1String("--export-opml")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return fail(QStringLiteral("%1 needs a file.").arg(a));
            options.Mode = a == QLatin1String("--import-opml") ? TMode::ImportOpml : TMode::ExportOpml;
            options.OpmlFile = arguments[++i];
        } else if (a == QLatin1String("--name")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("--name needs a name."));
            options.AddName = arguments[++i];
            if (options.AddName.isNull())
                options.AddName = QStringLiteral("");
        } else if (a == QLatin1String("--fetch-older")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return fail(QStringLiteral("--fetch-older needs a comic's name."));
            options.Mode = TMode::FetchOlder;
            options.OlderComic = arguments[++i];
        } else if (a == QLatin1String("--max")) {
            bool ok = false;
            options.OlderMax = i + 1 < arguments.size() ? arguments[i + 1].toInt(&ok) : 0;
            if (!ok || options.OlderMax < 1)
                return fail(QStringLiteral("--max needs a number of strips, 1 or more."));
            ++i;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.Mode = TMode::Help;
            return options; // nothing after it matters
        } else if (a == QLatin1String("--version")) {
            options.Mode = TMode::Version;
            return options;
        } else if (const int n = QtOptionLength(arguments, i); n > 0) {
            i += n - 1;
        } else if (!a.startsWith(QLatin1Char('-')) && !a.isEmpty()) {
            if (!options.OpenAddress.isEmpty() || !options.OpenFeedFile.isEmpty())
                return fail(QStringLiteral("Only one address can be given."));
            options.OpenAddress = OpenedAddress(a, &options.OpenFeedFile);
            // Typed without a scheme, only what names a host ("comics.example/feed",
            // "host:8080") is taken for an address; a stray word is a mistake.
            const QString host = options.OpenAddress.section(QLatin1Char('/'), 0, 0);
            if (!options.OpenAddress.isEmpty() && !options.OpenAddress.contains(QLatin1String("://")) &&
                !a.startsWith(QLatin1String("feed:"), Qt::CaseInsensitive) &&
                !host.contains(QLatin1Char('.')) && !host.contains(QLatin1Char(':')))
                return fail(QStringLiteral("%1 is neither an option nor an address.").arg(a));
        } else {
            return fail(QStringLiteral("Unknown option %1.").arg(a));
        }
    }
    if ((!options.OpenAddress.isEmpty() || !options.OpenFeedFile.isEmpty()) && options.Mode != TMode::Window)
        return fail(QStringLiteral("An address goes alone; with --add-comic give it after that option."));
    if (!options.AddName.isNull() && options.Mode != TMode::AddComic)
        return fail(QStringLiteral("--name goes with --add-comic."));
    if (options.OlderMax > 0 && options.Mode != TMode::FetchOlder)
        return fail(QStringLiteral("--max goes with --fetch-older."));
    return options;
}

std::optional<TStartupOptions> TStartupOptions::Parse(const QStringList& arguments,
                                                      const QString& executablePath, QString* error)
{
    auto options = Parse(arguments, error);
    if (options)
        options->DecidePaths(executablePath);
    return options;
}

QString TStartupOptions::OpenedAddress(const QString& argument, QString* file)
{
    QString a = argument.trimmed();
    // Browsers hand feeds over as "feed:https://host/feed.xml" or "feed://host/feed.xml";
    // the latter names no scheme, so it is tried as https, then http, as typed ones are.
    if (a.startsWith(QLatin1String("feed:"), Qt::CaseInsensitive)) {
        a = a.mid(5);
        if (a.startsWith(QLatin1String("//")))
            a = a.mid(2);
        return a;
    }
    if (a.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
        a.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return a;
    QString path;
    if (a.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        path = QUrl(a).toLocalFile();
    else if (QFileInfo(a).isFile())
        path = a;
    if (!path.isEmpty()) {
        *file = QFileInfo(path).absoluteFilePath();
        return {};
    }
    return a;
}

QString TStartupOptions::Usage()
{
    return QStringLiteral(
        "Usage: panelwick [options] [ADDRESS]\n"
        "Follows web comic strips: updates the chosen comics and shows them one strip at a time.\n"
        "\n"
        "  --program-folder DIR  keep configuration (DIR/panelwick.ini), catalogue (DIR/Comics.urls) "
        "and strips (DIR/Comics/) in DIR\n"
        "  --batch-update        update the chosen comics without a window, one line per comic; "
        "exit 0 when all went well, 1 when one failed, 2 when it could not start\n"
        "  --add-comic ADDRESS   add the comic at ADDRESS (a feed, a page linking one or a page with a "
        "picture; a bare domain is tried as https, then http) to MyComics.urls beside the configuration and "
        "choose it; exit 0 when added, 1 when not\n"
        "  --name NAME           with --add-comic: the comic's name instead of the site's title\n"
        "  --fetch-older NAME    fetch the comic's older strips (at most 100, or N with --max N), going on "
        "where the last run stopped; exit 0 when it fetched some or there was nothing older, 1 when not\n"
        "  --max N               with --fetch-older: at most N strips\n"
        "  --import-opml FILE    add every feed of the OPML file FILE (as feed readers export them) to "
        "MyComics.urls and choose it, fetching nothing; feeds followed already and unusable entries are "
        "passed over; exit 0 when the file was read, 1 when not\n"
        "  --export-opml FILE    write the chosen comics to FILE as OPML 2.0, for other feed readers; exit 0 "
        "when written, 1 when not\n"
        "  ADDRESS               open Add comic with this address (also feed:... and a feed file); a "
        "Panelwick already running comes forward and does it\n"
        "  -h, --help            show this help and end\n"
        "  --version             show the version and end\n"
        "\n"
        "Qt's window options (-platform, -display, -style, ...) are accepted too.\n");
}

QString TStartupOptions::VersionText()
{
    return QStringLiteral("Panelwick 1.1 (build %1)\n").arg(QLatin1String(kBuildVersion));
}

} // namespace pw::app
