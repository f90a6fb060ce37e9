#pragma once

#include "app/NewStripsNotifier.h"
#include "app/OlderStripsCommand.h"
#include "app/UpdateHooks.h"
#include "update/IUpdateHost.h"
#include "update/TAdvancedInfoSystem.h"

#include <memory>

namespace pw::update {
class TInfoForm;
class TUpdateScheduler;
} // namespace pw::update

namespace pw::app {

class TForm1;
class TForm2;

// Connects the update engine to the main window: the window's update commands reach
// the scheduler, and the scheduler reaches the window's progress panel, strip display
// and debug log.
class UpdateEngine : public UpdateHooks, public update::IUpdateHost {
public:
    UpdateEngine(TForm1& form, TForm2& debugLog);
    ~UpdateEngine() override;

    // Sets up the Advanced Info (its slots and an empty result list), then sends the main
    // window the start-up message, so this engine must already be the window's hooks.
    // The window itself is made when it is first shown: most runs never show it.
    void CreateInfoForm();
    // The Advanced Info window, made now if it was not yet.
    update::TInfoForm* InfoForm();
    update::TUpdateScheduler& Scheduler() const { return *scheduler_; }

    // UpdateHooks
    void UpdateAll() override;
    void UpdateCurrentComic() override;
    void UpdateComic(const QString& name) override;
    void FetchOlderStrips() override;
    void AbortAll() override;
    void ShowAdvancedInfo() override;
    void StartDailyTimer() override;
    void SetSlotCount(int count) override;
    bool Busy() const override;

    // update::IUpdateHost
    void SetProgressMaximum(int max) override;
    void SetProgressPosition(int position) override;
    void SetProgressText(const QString& text) override;
    QString ProgressText() const override;
    void SetAbortEnabled(bool enabled) override;
    void SetUpdateCommandEnabled(bool enabled) override;
    void ShowAdvancedInfoWindow() override;
    comics::TComicInfo* ShownComic() const override;
    void ShowNewStrip(comics::TComicInfo& comic, const comics::TComicStrip& strip) override;
    void SetStripAsWallpaper(const comics::TComicStrip& strip) override;
    void AppendDebugLog(const QString& line) override;

private:
    TForm1& form_;
    TForm2& debugLog_;
    NewStripsNotifier notifier_;
    update::TAdvancedInfoSystem info_;
    std::unique_ptr<update::TUpdateScheduler> scheduler_;
    std::unique_ptr<OlderStripsCommand> older_;
    std::unique_ptr<update::TInfoForm> infoForm_;
};

} // namespace pw::app
