#pragma once

#include "app/SingleInstance.h"
#include "app/StartupOptions.h"

#include <QStringList>
#include <memory>

namespace pw::app {

class TAboutBox;
class TForm1;
class TForm2;

// Builds the program's windows in their fixed order. Owns them until the end.
class TStartup {
public:
    TStartup();
    ~TStartup();
    TStartup(const TStartup&) = delete;
    TStartup& operator=(const TStartup&) = delete;

    // The main window, before its start-up steps run (tests plug in here).
    TForm1& MainWindow() const { return *form1_; }

    // Runs the start-up steps and creates the other windows; shows the main window unless
    // the program starts minimised. False when the program must end (user told).
    bool Start(const TStartupOptions& options);

    // The session asks the program to end (SIGTERM).
    void EndOnRequest();

    TForm2& DebugLog() const { return *form2_; }
    // Made when first shown.
    TAboutBox& AboutBox();

private:
    void CreateAdvancedInfoWindow();
    void CreatePrintDialog();

    // The debug log outlives the main window, whose update engine writes to it.
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TAboutBox> aboutBox_;
    // What the desktop parts said before the debug log existed.
    QStringList earlyLog_;
};

// The window mode, once this start has claimed the window: application object, message
// boxes, windows, message loop.
int RunPanelwick(int argc, char** argv, TStartupOptions options, const SingleInstance::TClaim& claim);

} // namespace pw::app
