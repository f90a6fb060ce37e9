#include "app/OlderStripsCommand.h"

#include "app/TForm1.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "update/IUpdateHost.h"
#include "update/TAdvancedInfoSystem.h"
#include "update/TArchiveWalk.h"

#include <QAction>
#include <QDir>

namespace pw::app {

OlderStripsCommand::OlderStripsCommand(TForm1& form, update::TAdvancedInfoSystem& info,
                                       update::IUpdateHost& host, std::function<bool()> updatesBusy)
    : form_(form), info_(info), host_(host), updatesBusy_(std::move(updatesBusy))
{
}

OlderStripsCommand::~OlderStripsCommand()
{
    if (walk_) {
        walk_->OnStatusChange = nullptr;
        delete walk_.data();
    }
}

void OlderStripsCommand::Start()
{
    comics::TComicInfo* comic = form_.CurrentComic();
    if (walk_)
        return;
    if (!comic) {
        platform::MessageBoxService::Information(QStringLiteral(
            "Choose a comic first: Fetch Older Strips fetches the older strips of the comic shown."));
        return;
    }
    const comics::TComicStripsDB& db = form_.StripsDB();
    if (comics::TComicStripsDB::IsUsableName(comic->Name) && !comic->Name.isEmpty())
        QDir().mkpath(db.ComicFolder(comic->Name));
    walk_ = new update::TArchiveWalk(*comic, db, form_.Ini(), update::TArchiveWalk::kDefaultMaxStrips);
    walk_->OnStatusChange = [this](update::TArchiveWalk& w) { StatusChanged(w); };
    form_.FetchOlderStrips1->setEnabled(false);
    host_.SetAbortEnabled(true);
    if (form_.Ini().ReadBool(QStringLiteral("Updates"), QStringLiteral("ShowAdvancedInfo"), false))
        host_.ShowAdvancedInfoWindow();
    info_.AssignSlot(comic->Name);
    if (!updatesBusy_()) {
        host_.SetProgressMaximum(walk_->MaxStrips());
        host_.SetProgressPosition(0);
    }
    walk_->Start();
}

void OlderStripsCommand::Abort()
{
    if (walk_)
        walk_->Abort();
}

void OlderStripsCommand::StatusChanged(update::TArchiveWalk& walk)
{
    info_.ShowStatus(walk.ComicName(), walk.StatusText(), walk.State());
    const bool showProgress = !updatesBusy_();
    if (!walk.Finished()) {
        if (showProgress) {
            host_.SetProgressPosition(walk.Stored());
            host_.SetProgressText(
                QStringLiteral("Older strips of %1: %2 stored").arg(walk.ComicName()).arg(walk.Stored()));
        }
        return;
    }
    walk.OnStatusChange = nullptr;
    walk_.clear();
    walk.deleteLater(); // we are inside its own report
    form_.FetchOlderStrips1->setEnabled(true);
    host_.SetAbortEnabled(updatesBusy_());
    if (showProgress) {
        host_.SetProgressPosition(0);
        host_.SetProgressText(walk.ComicName() + QStringLiteral(": ") + walk.StatusText());
    }
    // A comic that had no strip to show has some now.
    comics::TComicInfo* comic = walk.Comic();
    if (walk.Stored() > 0 && comic == host_.ShownComic() && !comic->CurrentStrip)
        if (const auto newest = form_.StripsDB().NewestStrip(comic->Name))
            host_.ShowNewStrip(*comic, *newest);
}

} // namespace pw::app
