#pragma once

#include "app/DesktopIntegration.h"
#include "app/StartupOptions.h"
#include "app/UpdateHooks.h"
#include "platform/Exception.h"

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include <ostream>

// Readable texts in test failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(", ").toStdString() << ']';
}

namespace pw::app {
class TForm1;
class TStartup;
} // namespace pw::app

namespace pw::test {

// A throw-away program folder: catalogue, configuration file and strip files.
class ProgramFolder {
public:
    ProgramFolder();

    QString Path() const; // ends in "/"
    app::TStartupOptions Options() const;
    QString IniPath() const { return Path() + QStringLiteral("panelwick.ini"); }

    void WriteCatalogue(const QByteArray& bytes);
    void WriteIni(const QByteArray& bytes);
    QString ReadIni() const;
    bool IniExists() const;

    // A one-colour GIF made by ImageMagick, or a JPEG written by Qt.
    void AddGif(const QString& comic, const QString& yyyymmdd, const QString& colour, int w = 40, int h = 20);
    void AddJpeg(const QString& comic, const QString& yyyymmdd, const QColor& colour);
    void AddFile(const QString& comic, const QString& fileName, const QByteArray& bytes);
    void WriteUnread(const QString& comic, const QStringList& fileNames);
    QStringList Unread(const QString& comic) const;

private:
    QTemporaryDir dir_;
};

// Records what the window asks of the update engine and the desktop.
struct HookLog {
    QStringList calls;
};

class RecordingUpdates : public app::UpdateHooks {
public:
    explicit RecordingUpdates(std::shared_ptr<HookLog> log) : log_(std::move(log)) {}
    void UpdateAll() override { log_->calls << QStringLiteral("UpdateAll"); }
    void UpdateCurrentComic() override { log_->calls << QStringLiteral("UpdateCurrentComic"); }
    void UpdateComic(const QString& name) override { log_->calls << QStringLiteral("UpdateComic ") + name; }
    void AbortAll() override { log_->calls << QStringLiteral("AbortAll"); }
    void ShowAdvancedInfo() override { log_->calls << QStringLiteral("ShowAdvancedInfo"); }
    void StartDailyTimer() override { log_->calls << QStringLiteral("StartDailyTimer"); }
    void SetSlotCount(int n) override { log_->calls << QStringLiteral("SetSlotCount %1").arg(n); }
    bool Busy() const override { return busy; }
    bool busy = false; // updates run

private:
    std::shared_ptr<HookLog> log_;
};

class RecordingDesktop : public app::TDesktopIntegration {
public:
    explicit RecordingDesktop(std::shared_ptr<HookLog> log) : log_(std::move(log)) {}
    bool HasTray() const override { return hasTray; }
    bool hasTray = true;
    // Commands named here are recorded and then fail, as a desktop that refuses them.
    QStringList failing;
    void SetAutostart(bool on) override { Record(QStringLiteral("SetAutostart %1").arg(on)); }
    void SetTrayStartMinimized(bool on) override
    {
        Record(QStringLiteral("SetTrayStartMinimized %1").arg(on));
    }
    void SetTrayMinimizeToTray(bool on) override
    {
        Record(QStringLiteral("SetTrayMinimizeToTray %1").arg(on));
    }
    void CopyCurrentStrip() override { Record(QStringLiteral("CopyCurrentStrip")); }
    bool ShowTrayMessage(const QString& title, const QString& text, std::function<void()> clicked) override
    {
        log_->calls << QStringLiteral("ShowTrayMessage %1: %2").arg(title, text);
        trayMessageClicked = std::move(clicked);
        return hasTray;
    }
    std::function<void()> trayMessageClicked;

private:
    void Record(const QString& call)
    {
        log_->calls << call;
        if (failing.contains(call.section(QLatin1Char(' '), 0, 0)))
            throw platform::Exception(call + QStringLiteral(" failed"));
    }

    std::shared_ptr<HookLog> log_;
};

// Plugs recorders into a fresh main window and keeps modal runs from blocking.
std::shared_ptr<HookLog> Instrument(app::TForm1& form);

// The main window started in the program's order (start-up steps, start-up message,
// showing), with recorders in place of the update engine and the desktop.
class TestProgram {
    std::unique_ptr<app::TForm1> owned_; // made first: form refers to it

public:
    TestProgram();
    ~TestProgram();
    bool Start(const app::TStartupOptions& options);
    app::TForm1& form;
    std::shared_ptr<HookLog> log;
};

// The picture the window shows (null when empty), and its centre colour.
QImage Shown(const app::TForm1& form);
QColor ShownColour(const app::TForm1& form);
bool SameImage(const QImage& a, const QImage& b);

// Keys with real events, so that they pass the application like a user's.
void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

} // namespace pw::test
