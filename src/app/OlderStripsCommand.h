#pragma once

#include <QPointer>
#include <functional>

namespace pw::update {
class IUpdateHost;
class TAdvancedInfoSystem;
class TArchiveWalk;
} // namespace pw::update

namespace pw::app {

class TForm1;

// "Fetch &Older Strips": one archive walk at a time for the comic shown, with a row in
// the Advanced Info window and the progress bar (while no update batch has it), stopped
// by the abort button like the updates.
class OlderStripsCommand {
public:
    OlderStripsCommand(TForm1& form, update::TAdvancedInfoSystem& info, update::IUpdateHost& host,
                       std::function<bool()> updatesBusy);
    ~OlderStripsCommand();

    void Start();
    void Abort();
    bool Running() const { return !walk_.isNull(); }

private:
    void StatusChanged(update::TArchiveWalk& walk);

    TForm1& form_;
    update::TAdvancedInfoSystem& info_;
    update::IUpdateHost& host_;
    std::function<bool()> updatesBusy_;
    QPointer<update::TArchiveWalk> walk_;
};

} // namespace pw::app
