#pragma once

#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "platform/IniFile.h"
#include "update/IUpdateHost.h"
#include "update/TAdvancedInfoSystem.h"
#include "update/TComicDownloadInfo.h"
#include "update/TUpdateScheduler.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <stdexcept>

namespace pw::test {

// The main window as the scheduler sees it, recording what it is told.
class RecordingHost : public update::IUpdateHost {
public:
    int max = 0;
    int position = 0;
    QString text;
    bool abortEnabled = false;
    int advancedInfoShown = 0;
    comics::TComicInfo* shown = nullptr;
    QStringList shownStrips;
    QStringList wallpapers;
    QStringList log;

    void SetProgressMaximum(int m) override { max = m; }
    void SetProgressPosition(int p) override { position = p; }
    void SetProgressText(const QString& t) override { text = t; }
    QString ProgressText() const override { return text; }
    void SetAbortEnabled(bool e) override { abortEnabled = e; }
    void ShowAdvancedInfoWindow() override { ++advancedInfoShown; }
    comics::TComicInfo* ShownComic() const override { return shown; }
    bool showFails = false; // a window that cannot draw the new strip
    void ShowNewStrip(comics::TComicInfo&, const comics::TComicStrip& s) override
    {
        shownStrips << s.FileName;
        if (showFails)
            throw std::runtime_error("cannot draw " + s.FileName.toStdString());
    }
    void SetStripAsWallpaper(const comics::TComicStrip& s) override { wallpapers << s.FileName; }
    void AppendDebugLog(const QString& line) override { log << line; }
};

// A program folder (configuration, strip store, chosen comics) and a scheduler on it.
struct UpdateRig {
    QTemporaryDir dir;
    platform::TIniFile ini{dir.filePath("panelwick.ini")};
    comics::TComicStripsDB db{dir.filePath("Comics")};
    comics::TComicsList all;
    comics::TComicsList chosen;
    update::TAdvancedInfoSystem info;
    RecordingHost host;
    std::unique_ptr<update::TUpdateScheduler> scheduler;
    QStringList finished; // "<name>: <status>" in finishing order
    int batches = 0;

    UpdateRig();
    comics::TComicInfo* AddComic(const QString& name, const QString& pageUrl);
    // Runs until no job is left (or ms pass); true when the batch ended.
    bool RunBatch(int ms = 60000);
    QString StripPath(const QString& comic, const QString& file) const;
    QStringList FilesOf(const QString& comic) const; // hidden ones included
};

} // namespace pw::test
