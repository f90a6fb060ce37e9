// Comics to and from other feed readers: the File menu's "&Import Comics..." and
// "&Export Comics...".
#include "app/TForm1.h"

#include "app/ComicsOpml.h"
#include "app/UpdateHooks.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "platform/MessageBoxService.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>

namespace pw::app {

namespace {
const QString kOpmlFilter = QStringLiteral("OPML files (*.opml *.xml);;All files (*)");
}

void TForm1::ImportComics1Click()
{
    const QString file = ChooseOpmlFile ? ChooseOpmlFile(false)
                                        : QFileDialog::getOpenFileName(this, QStringLiteral("Import Comics"),
                                                                       QDir::homePath(), kOpmlFilter);
    if (file.isEmpty())
        return;
    const TOpmlImport result = ComicsOpml::Import(file, allComics_, options_.Paths.UserCataloguePath, *ini_);
    if (!result.FileError.isEmpty()) {
        platform::MessageBoxService::Error(result.FileError);
        return;
    }
    // A comic removed once keeps its strips: they come back with it.
    for (const QString& name : result.Imported) {
        comics::TComicInfo* comic = allComics_.FindByName(name);
        if (comic && !comic->CurrentStrip) {
            comic->CurrentStrip = stripsDB_->FirstUnreadStrip(name);
            if (!comic->CurrentStrip)
                comic->CurrentStrip = stripsDB_->NewestStrip(name);
        }
    }
    ApplyChoice(comboComics->currentText());
    for (const QString& name : result.Imported)
        updates_->UpdateComic(name);
    platform::MessageBoxService::Information(result.Text());
}

void TForm1::ExportComics1Click()
{
    const QString file =
        ChooseOpmlFile
            ? ChooseOpmlFile(true)
            : QFileDialog::getSaveFileName(this, QStringLiteral("Export Comics"),
                                           QDir::home().filePath(QStringLiteral("panelwick-comics.opml")),
                                           kOpmlFilter);
    if (file.isEmpty())
        return;
    QString error;
    if (!ComicsOpml::Export(file, comicsToGet_, stripsDB_->Dir(), &error))
        platform::MessageBoxService::Error(error);
}

} // namespace pw::app
