#include "AppFixture.h"

#include "app/StripPicture.h"
#include "app/TForm1.h"
#include "platform/MessageTarget.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace pw::test {

ProgramFolder::ProgramFolder()
{
    EXPECT_TRUE(dir_.isValid());
}

QString ProgramFolder::Path() const
{
    return dir_.path() + QLatin1Char('/');
}

app::TStartupOptions ProgramFolder::Options() const
{
    return *app::TStartupOptions::Parse({QStringLiteral("--program-folder"), dir_.path()},
                                        QStringLiteral("/nonexistent/panelwick"));
}

namespace {
void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}
} // namespace

void ProgramFolder::WriteCatalogue(const QByteArray& bytes)
{
    WriteFile(Path() + "Comics.urls", bytes);
}
void ProgramFolder::WriteIni(const QByteArray& bytes)
{
    WriteFile(IniPath(), bytes);
}
bool ProgramFolder::IniExists() const
{
    return QFile::exists(IniPath());
}

QString ProgramFolder::ReadIni() const
{
    QFile f(IniPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll());
}

void ProgramFolder::AddGif(const QString& comic, const QString& yyyymmdd, const QString& colour, int w, int h)
{
    const QString folder = Path() + "Comics/" + comic;
    QDir().mkpath(folder);
    const QString file = folder + "/" + comic + yyyymmdd + ".gif";
    const int rc = QProcess::execute(QStringLiteral("convert"),
                                     {QStringLiteral("-size"), QStringLiteral("%1x%2").arg(w).arg(h),
                                      QStringLiteral("xc:") + colour, file});
    ASSERT_EQ(rc, 0) << "ImageMagick convert failed for " << file.toStdString();
}

void ProgramFolder::AddJpeg(const QString& comic, const QString& yyyymmdd, const QColor& colour)
{
    const QString folder = Path() + "Comics/" + comic;
    QDir().mkpath(folder);
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(folder + "/" + comic + yyyymmdd + ".jpg", "JPEG"));
}

void ProgramFolder::AddFile(const QString& comic, const QString& fileName, const QByteArray& bytes)
{
    WriteFile(Path() + "Comics/" + comic + "/" + fileName, bytes);
}

void ProgramFolder::WriteUnread(const QString& comic, const QStringList& fileNames)
{
    WriteFile(Path() + "Comics/" + comic + "/" + comic + ".unr",
              (fileNames.join("\r\n") + "\r\n").toLocal8Bit());
}

QStringList ProgramFolder::Unread(const QString& comic) const
{
    QFile f(Path() + "Comics/" + comic + "/" + comic + ".unr");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

std::shared_ptr<HookLog> Instrument(app::TForm1& form)
{
    auto log = std::make_shared<HookLog>();
    form.SetUpdateHooks(std::make_unique<RecordingUpdates>(log));
    form.SetDesktopIntegration(std::make_unique<RecordingDesktop>(log));
    form.QuitLoop = [log] { log->calls << QStringLiteral("QuitLoop"); };
    form.RunAboutModal = [log] { log->calls << QStringLiteral("About"); };
    form.RunSettingsModal = [log] {
        log->calls << QStringLiteral("Settings");
        return false;
    };
    form.RunAddComicModal = [log](QDialog&) {
        log->calls << QStringLiteral("AddComic");
        return false;
    };
    return log;
}

TestProgram::TestProgram() : owned_(std::make_unique<app::TForm1>()), form(*owned_), log(Instrument(form)) {}

TestProgram::~TestProgram() = default;

bool TestProgram::Start(const app::TStartupOptions& options)
{
    if (!form.FormCreate(options))
        return false;
    form.DecodeAside(true);
    form.StartupTarget().Send(app::kStartupMessage);
    if (form.ShowAtStart())
        form.show();
    form.DecodeAside(false);
    return true;
}

QImage Shown(const app::TForm1& form)
{
    return form.ShownPicture();
}

QColor ShownColour(const app::TForm1& form)
{
    const QImage image = Shown(form);
    if (image.isNull())
        return {};
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool SameImage(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

} // namespace pw::test
