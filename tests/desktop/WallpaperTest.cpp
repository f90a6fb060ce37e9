#include "FakePlasmaShell.h"
#include "MessageBoxRecorder.h"
#include "TemporaryRegistry.h"
#include "TestPaths.h"

#include "comics/TComicStrip.h"
#include "desktop/StripWallpaper.h"
#include "desktop/TWallPaper.h"
#include "imaging/TGifDecoder.h"
#include "imaging/TJpegDecoder.h"
#include "imaging/TStripDecoder.h"
#include "platform/Exception.h"
#include "platform/TRegistry.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace pw;
using desktop::StripWallpaper;
using platform::RegistryRoots;
using platform::TRegistry;

namespace {

const QString kMessage = "Couldn't change wallpaper. The comic strip may be corrupt.";

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Wallpaper : ::testing::Test {
    QTemporaryDir dir;
    QString comics, data;
    test::MessageBoxRecorder boxes;

    test::TemporaryRegistry roots;

    void SetUp() override
    {
        comics = dir.path() + "/Comics/";
        data = dir.path() + "/data/panelwick/";
    }

    QString Bmp() const { return data + "Panelwick Wallpaper.bmp"; }

    // A strip file in the comic's folder, copied from a fixture picture.
    comics::TComicStrip Strip(const QString& comic, const QString& fileName, const QString& fixture)
    {
        QDir().mkpath(comics + comic);
        const QString path = comics + comic + "/" + fileName;
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(test::FixturePath("images/" + fixture), path));
        return *comics::TComicStrip::FromFileName(fileName, comics);
    }

    static QString Value(const QString& name)
    {
        TRegistry reg;
        return reg.OpenKey("Control Panel\\desktop", false) ? reg.ReadString(name) : "<no key>";
    }
    static void SetValue(const QString& name, const QString& value)
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Control Panel\\desktop", true));
        reg.WriteString(name, value);
    }
    // Pixels only: a PNG carries a colour space that the bitmap does not.
    static QImage Rgb(const QImage& image)
    {
        QImage out = image.convertToFormat(QImage::Format_RGB32);
        out.setColorSpace(QColorSpace());
        return out;
    }
};

TEST_F(Wallpaper, GifAndJpegStripsBecomeTheBitmapAndTheDesktopIsToldCentred)
{
    const auto gif = Strip("Quads", "Quads20010101.gif", "quadrants.gif");
    ASSERT_TRUE(StripWallpaper::Set(gif, data));
    EXPECT_TRUE(boxes.Texts().isEmpty());
    const QByteArray bmp = Read(Bmp());
    ASSERT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(Rgb(QImage::fromData(bmp, "BMP")), Rgb(imaging::TGifDecoder::GetGIFFile(gif.StripPath())));
    EXPECT_EQ(Value("TileWallpaper"), "0");
    EXPECT_EQ(Value("WallpaperStyle"), "0");
    EXPECT_EQ(Value("Wallpaper"), Bmp());

    // A JPEG strip from its own file; the log hears of no tool (no display here).
    const auto jpg = Strip("Photo", "Photo20010102.jpg", "color.jpg");
    QStringList log;
    ASSERT_TRUE(StripWallpaper::Set(jpg, data, [&](const QString& line) { log << line; }));
    EXPECT_EQ(Rgb(QImage(Bmp(), "BMP")), Rgb(imaging::TJpegDecoder::LoadFromFile(jpg.StripPath())));
    EXPECT_TRUE(log.isEmpty()) << log.join("\n").toStdString();

    // ".gif" is looked for first: this GIF would not decode as a JPEG.
    const auto both = Strip("A.jpg", "A.jpg20010103.gif", "quadrants.gif");
    ASSERT_TRUE(StripWallpaper::Set(both, data));
    EXPECT_EQ(Rgb(QImage(Bmp(), "BMP")), Rgb(imaging::TGifDecoder::GetGIFFile(both.StripPath())));

    // Neither: decoded by its content, like the window shows it.
    SetValue("TileWallpaper", "1");
    const auto png = Strip("Png", "Png20010104.png", "transparent.png");
    ASSERT_TRUE(StripWallpaper::Set(png, data));
    const QImage shown = imaging::TStripDecoder::LoadFromFile(png.StripPath());
    ASSERT_EQ(shown.size(), QSize(20, 20));
    const QImage wp = Rgb(QImage(Bmp(), "BMP"));
    EXPECT_EQ(wp, Rgb(shown));
    EXPECT_EQ(Value("TileWallpaper"), "0");
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(Wallpaper, EveryFailureShowsTheMessageAndLeavesFileAndValuesAsTheyWere)
{
    ASSERT_TRUE(StripWallpaper::Set(Strip("Quads", "Quads20010101.gif", "quadrants.gif"), data));
    SetValue("TileWallpaper", "1");
    SetValue("WallpaperStyle", "2");
    const QByteArray before = Read(Bmp());
    auto unchanged = [&] {
        EXPECT_EQ(Read(Bmp()), before);
        EXPECT_EQ(Value("TileWallpaper"), "1");
        EXPECT_EQ(Value("WallpaperStyle"), "2");
        EXPECT_EQ(boxes.Texts(), QStringList{kMessage});
        EXPECT_EQ(QDir(data).entryList(QDir::Files), QStringList{"Panelwick Wallpaper.bmp"})
            << "no temporary left";
        boxes.Clear();
    };

    EXPECT_FALSE(StripWallpaper::Set(std::nullopt, data)); // a comic without strips
    unchanged();
    EXPECT_FALSE(StripWallpaper::Set(Strip("Bad", "Bad20010102.jpg", "garbage.jpg"), data));
    unchanged();
    EXPECT_FALSE(StripWallpaper::Set(Strip("Bad", "Bad20010103.jpg", "truncated.jpg"), data));
    unchanged();
    EXPECT_FALSE(StripWallpaper::Set(Strip("Bad", "Bad20010104.gif", "garbage.gif"), data));
    unchanged();
    EXPECT_FALSE(StripWallpaper::Set(Strip("Bad", "Bad20010105.png", "html.png"), data)); // no reader
    unchanged();
    auto missing = Strip("Gone", "Gone20010105.gif", "quadrants.gif");
    QFile::remove(missing.StripPath());
    EXPECT_FALSE(StripWallpaper::Set(missing, data));
    unchanged();

    // A data folder that cannot be made (a file is in the way).
    QFile blocker(dir.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(
        StripWallpaper::Set(Strip("Quads", "Quads20010101.gif", "quadrants.gif"), blocker.fileName() + "/x"));
    unchanged();

    // A registry file that is not ours: the message, and the file stays as it was.
    const QString registryFile = RegistryRoots::UserFolder + "/panelwick/registry.reg";
    QFile foreign(registryFile);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("not a registry\n");
    foreign.close();
    EXPECT_FALSE(StripWallpaper::Set(Strip("Quads", "Quads20010101.gif", "quadrants.gif"), data));
    EXPECT_EQ(boxes.Texts(), QStringList{kMessage});
    EXPECT_EQ(Read(registryFile), "not a registry\n");
}

TEST_F(Wallpaper, AJpegOfTooManyScansIsACorruptStrip)
{
    const auto strip = Strip("Scans", "Scans20010101.jpg", "scans-124.jpg");
    EXPECT_FALSE(StripWallpaper::Set(strip, data));
    EXPECT_EQ(boxes.Texts(), QStringList{kMessage});
    EXPECT_FALSE(QFile::exists(Bmp()));
}

TEST_F(Wallpaper, ARecordedValueThatIsNotOurPictureIsNeverHandedToTheDesktop)
{
    // A bare X display with feh (a script that does nothing) as the only tool.
    const QString bin = dir.path() + "/bin";
    QDir().mkpath(bin);
    QFile feh(bin + "/feh");
    ASSERT_TRUE(feh.open(QIODevice::WriteOnly));
    feh.write("#!/bin/sh\nexit 0\n");
    feh.close();
    feh.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH"), display = qgetenv("DISPLAY"),
                     desktop = qgetenv("XDG_CURRENT_DESKTOP");
    qputenv("PATH", bin.toLocal8Bit());
    qputenv("DISPLAY", ":98");
    qunsetenv("XDG_CURRENT_DESKTOP");
    const auto restore = qScopeGuard([&] {
        qputenv("PATH", path);
        display.isNull() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", display);
        if (!desktop.isNull())
            qputenv("XDG_CURRENT_DESKTOP", desktop);
    });

    const auto strip = Strip("Quads", "Quads20010101.gif", "quadrants.gif");
    for (const QString value : {"--bg-tile", "/etc/passwd", "relative.bmp"}) {
        SetValue("Wallpaper", value);
        QStringList log;
        ASSERT_TRUE(StripWallpaper::Set(strip, data, [&](const QString& line) { log << line; }));
        EXPECT_EQ(log, QStringList{bin + "/feh --no-fehbg --bg-center '" + Bmp() + "'"})
            << value.toStdString();
    }
    // Our own picture is applied again after each setting, and once more.
    QStringList log;
    ASSERT_TRUE(StripWallpaper::Set(strip, data, [&](const QString& line) { log << line; }));
    EXPECT_EQ(log.size(), 3);
    EXPECT_EQ(log.filter(Bmp()).size(), 3);
}

TEST_F(Wallpaper, PlasmaIsAskedForTheStripCentredOnEveryDesktop)
{
    test::FakePlasmaShell plasma;
    ASSERT_TRUE(plasma.Start()) << plasma.Error().toStdString();
    // A Plasma session's tools: dbus-send, and Plasma's own apply tool as a script that
    // records its argument (NUL-terminated: the path below holds a line break).
    const QString bin = dir.path() + "/bin", applied = dir.path() + "/applied";
    QDir().mkpath(bin);
    ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable("dbus-send"), bin + "/dbus-send"));
    QFile tool(bin + "/plasma-apply-wallpaperimage");
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\nprintf '%s\\0' \"$1\" >>'" + applied.toUtf8() + "'\n");
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH"), bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("PATH", bin.toLocal8Bit());
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    qputenv("DBUS_SESSION_BUS_ADDRESS", plasma.Address().toUtf8());
    const auto restore = qScopeGuard([&] {
        qputenv("PATH", path);
        qunsetenv("XDG_CURRENT_DESKTOP");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    });

    // A data folder whose name would break out of a script written carelessly.
    data = dir.path() + QString::fromUtf8("/it's \"q\" \\ d\xC3\xA9j\xC3\xA0\nvu/panelwick/");
    const auto strip = Strip("Quads", "Quads20010101.gif", "quadrants.gif");
    QStringList log;
    ASSERT_TRUE(StripWallpaper::Set(strip, data, [&](const QString& line) { log << line; }));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(bin +
                                  "/dbus-send --session --print-reply=literal --dest=org.kde.plasmashell "
                                  "/PlasmaShell org.kde.PlasmaShell.evaluateScript 'string:var ds"))
        << log[0].toStdString();

    ASSERT_TRUE(test::WaitFor([&] { return plasma.Scripts().size() == 1; }, 20000));
    const QJsonObject run = plasma.Scripts().first();
    ASSERT_FALSE(run.contains("error")) << run["error"].toString().toStdString();
    const QJsonArray desktops = run["desktops"].toArray();
    ASSERT_EQ(desktops.size(), 2);
    for (const QJsonValue& desktop : desktops) {
        const QJsonObject config = desktop["config"].toObject();
        EXPECT_EQ(desktop["wallpaperPlugin"].toString(), "org.kde.image");
        const QString image = config["Wallpaper/org.kde.image/General/Image"].toString();
        EXPECT_EQ(QUrl(image).toLocalFile(), Bmp()) << image.toStdString();
        EXPECT_EQ(config["Wallpaper/org.kde.image/General/FillMode"], QJsonValue(6)); // "Centered"
    }
    EXPECT_FALSE(QFile::exists(applied));

    // Without dbus-send: Plasma's own tool, with the picture, for each of the three calls.
    QFile::remove(bin + "/dbus-send");
    log.clear();
    ASSERT_TRUE(StripWallpaper::Set(strip, data, [&](const QString& line) { log << line; }));
    EXPECT_EQ(log.size(), 3);
    EXPECT_EQ(log.filter(bin + "/plasma-apply-wallpaperimage '").size(), 3) << log.join("\n").toStdString();
    const QByteArray expected = (QFile::encodeName(Bmp()) + '\0').repeated(3);
    EXPECT_TRUE(test::WaitFor([&] { return Read(applied) == expected; }, 20000))
        << Read(applied).toStdString();
    EXPECT_EQ(plasma.Scripts().size(), 1);
}

TEST_F(Wallpaper, StretchIsOnlyStyleTwoAndTileNeedsANumber)
{
    desktop::TWallPaper wallpaper;
    EXPECT_FALSE(wallpaper.Stretch());
    EXPECT_THROW(wallpaper.Tile(), platform::Exception);
    for (const char* style : {"0", "1", "x"}) {
        SetValue("WallpaperStyle", style);
        EXPECT_FALSE(wallpaper.Stretch()) << style;
    }
    SetValue("WallpaperStyle", "2");
    EXPECT_TRUE(wallpaper.Stretch());
    SetValue("TileWallpaper", "x");
    EXPECT_THROW(wallpaper.Tile(), platform::Exception);
    SetValue("TileWallpaper", "3");
    EXPECT_TRUE(wallpaper.Tile());
    EXPECT_EQ(wallpaper.Wallpaper(), "");
}

} // namespace
