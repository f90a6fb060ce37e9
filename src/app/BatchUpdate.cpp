#include "app/BatchUpdate.h"

#include "app/ConsoleRun.h"
#include "app/RenameRepair.h"
#include "app/SingleInstance.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "platform/Exception.h"
#include "platform/GuardedCoreApplication.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/TextEscapes.h"
#include "update/IUpdateHost.h"
#include "update/SimDownloads.h"
#include "update/TAdvancedInfoSystem.h"
#include "update/TComicDownloadInfo.h"
#include "update/TUpdateScheduler.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace pw::app {

namespace {

// The progress label and bar without a window: only the text matters here.
class BatchHost : public update::IUpdateHost {
public:
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void SetProgressText(const QString& text) override { text_ = text; }
    QString ProgressText() const override { return text_; }
    bool KeepsDebugLog() const override { return false; }

private:
    QString text_;
};

} // namespace

int BatchUpdate::Main(int argc, char** argv, TStartupOptions options)
{
    // Qt's own event loop rather than GLib's: GLib writes to its wake-up descriptor for
    // every posted event and every socket notifier switched on or off, several system
    // calls per comic that Qt's loop folds into one per turn. Nothing here needs GLib.
    const bool chooseLoop = !qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (chooseLoop)
        qputenv("QT_NO_GLIB", "1");
    platform::GuardedCoreApplication app(argc, argv);
    if (chooseLoop)
        qunsetenv("QT_NO_GLIB");
    PrepareConsoleRun(options);
    QTextStream out(stdout);
    return Run(options, out);
}

int BatchUpdate::Run(const TStartupOptions& options, QTextStream& out)
{
    options.Paths.MakeFolders();
    platform::TIniFile ini(options.Paths.IniPath);
    comics::TComicStripsDB db(options.Paths.ComicsDir(ini));
    FinishInterruptedRename(options.Paths, ini);
    comics::TComicsList all;
    comics::TComicsList chosen;
    comics::TComicsList notChosen;
    try {
        all.LoadCatalogue(options.Paths.CataloguePath); // no strip is shown
        all.LoadUserCatalogue(options.Paths.UserCataloguePath);
    } catch (const platform::Exception& e) {
        platform::MessageBoxService::Error(QStringLiteral("Couldn't read the comic catalogue %1 (%2).")
                                               .arg(options.Paths.CataloguePath, e.Message()));
        return 2;
    }
    all.SplitChosen(ini, chosen, notChosen);
    if (chosen.Count() == 0) {
        platform::MessageBoxService::Error(
            QStringLiteral("No comic is chosen in %1, so there is nothing to update.")
                .arg(options.Paths.IniPath));
        return 2;
    }

    update::TAdvancedInfoSystem info;
    info.SetSlotCount(update::MaxSimDownloads(ini));
    BatchHost host;
    update::TUpdateScheduler scheduler(ini, db, chosen, info, host);
    QEventLoop loop;
    int failed = 0;
    // Found once: finding it reads the environment and resolves the folder's path.
    const QByteArray windowSocket = SingleInstance::SocketPath(options.Paths);
    // The lines of the comics that end in one turn of the loop go out together, before
    // anything the loop does next (such as a message box on standard error).
    QObject flusher;
    bool flushPosted = false;
    scheduler.OnJobFinished = [&](const update::TComicDownloadInfo& job) {
        const bool ok = (job.State() == update::TComicDownloadInfo::kNewStrip && job.DownloadedSize() > 0) ||
                        job.State() == update::TComicDownloadInfo::kNoUpdate;
        if (!ok)
            ++failed;
        // A window running beside shows what was stored.
        if (job.State() == update::TComicDownloadInfo::kNewStrip && job.DownloadedSize() > 0) {
            TInstanceRequest stored;
            stored.Kind = TInstanceRequest::TKind::Strips;
            stored.ComicName = job.ComicName();
            SingleInstance::Tell(windowSocket, stored);
        }
        // Names and reasons may come from a hostile site: nothing raw reaches the terminal.
        out << platform::ShowableText(job.ComicName() + QStringLiteral(": ") + job.StatusText()) << '\n';
        if (!flushPosted) {
            flushPosted = true;
            QTimer::singleShot(0, &flusher, [&] {
                flushPosted = false;
                out.flush();
            });
        }
    };
    scheduler.OnBatchFinished = [&] { loop.quit(); };
    scheduler.UpdateAllComics();
    if (scheduler.Busy())
        loop.exec();
    // Boxes posted by the last jobs (time-outs) are shown before the summary.
    QCoreApplication::processEvents();
    out << host.ProgressText() << Qt::endl;
    return failed > 0 ? 1 : 0;
}

} // namespace pw::app
