#include "app/StartupOptions.h"

#include <QDir>
#include <QFileInfo>

namespace pw::app {

namespace {
QString WithSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

std::optional<TStartupOptions> TStartupOptions::Parse(const QStringList& arguments,
                                                      const QString& executablePath, QString* error)
{
    TStartupOptions options;
    QString folderArg;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--program-folder")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                if (error)
                    *error = QStringLiteral("--program-folder needs a folder.");
                return std::nullopt;
            }
            folderArg = arguments[++i];
        } else if (a.startsWith(QLatin1String("--program-folder="))) {
            folderArg = a.mid(int(qstrlen("--program-folder=")));
        } else {
            options.Remaining << a;
        }
    }
    if (!folderArg.isEmpty()) {
        options.ProgramFolder = WithSlash(QDir::cleanPath(QFileInfo(folderArg).absoluteFilePath()));
        options.IniPath = options.ProgramFolder + QStringLiteral("panelwick.ini");
    } else {
        const QFileInfo exe(executablePath);
        options.ProgramFolder = WithSlash(exe.absolutePath());
        options.IniPath = options.ProgramFolder + exe.completeBaseName() + QStringLiteral(".ini");
    }
    return options;
}

} // namespace pw::app
