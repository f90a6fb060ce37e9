#include "UpdateTestSupport.h"

#include "TestPaths.h"

#include <QDir>
#include <memory>

namespace pw::test {

UpdateRig::UpdateRig()
{
    info.SetSlotCount(3);
    scheduler = std::make_unique<update::TUpdateScheduler>(ini, db, chosen, info, host);
    scheduler->OnJobFinished = [this](const update::TComicDownloadInfo& job) {
        finished << job.ComicName() + ": " + job.StatusText();
    };
    scheduler->OnBatchFinished = [this] { ++batches; };
}

comics::TComicInfo* UpdateRig::AddComic(const QString& name, const QString& pageUrl)
{
    comics::TComicInfo* comic = all.AddOwned(std::make_unique<comics::TComicInfo>(name, pageUrl));
    chosen.AddUnique(comic);
    return comic;
}

bool UpdateRig::RunBatch(int ms)
{
    return WaitFor([this] { return !scheduler->Busy(); }, ms);
}

QString UpdateRig::StripPath(const QString& comic, const QString& file) const
{
    return db.ComicFolder(comic) + "/" + file;
}

QStringList UpdateRig::FilesOf(const QString& comic) const
{
    return QDir(db.ComicFolder(comic)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace pw::test
