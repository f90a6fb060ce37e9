#include "BatchTest.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"
#include "comics/ComicSite.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace pw;

using test::BatchTest;
using test::Bytes;
using test::Page;
using test::ReadAll;

namespace {

// The program copied alone into a folder: no window module beside it, none installed.
QString LoneProgram(const QTemporaryDir& dir)
{
    const QString path = dir.filePath("bin/panelwick");
    if (!QDir().mkpath(dir.filePath("bin")) || !QFile::copy(test::BinaryDir() + "/panelwick", path))
        return {};
    return path;
}

// Among those LD_DEBUG=files says were loaded, at start or later: the display side's
// libraries, and TLS's, which a plain-HTTP run has no use for.
QStringList UnneededLibraries(const QString& ldDebug)
{
    static const QRegularExpression loaded(QStringLiteral(
        R"(file=(\S*(libQt6(Gui|Widgets|PrintSupport|DBus|XcbQpa)|libxcb|libX11|libEGL|libGL|libssl|libcrypto)\S*))"));
    QStringList found;
    for (auto it = loaded.globalMatch(ldDebug); it.hasNext();)
        found << it.next().captured(1);
    found.removeDuplicates();
    return found;
}

} // namespace

TEST_F(BatchTest, WindowlessCommandsNeedNeitherTheWindowNorQtGui)
{
    QTemporaryDir alone;
    program = LoneProgram(alone);
    ASSERT_FALSE(program.isEmpty());
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    ASSERT_TRUE(nginx.WriteFile("c1/index.html", Page("c1.gif")));
    ASSERT_TRUE(nginx.WriteFile("archive/images/c1.gif", Bytes('g', 4000)));
    Choose("Lone", QString::fromLatin1(comics::kComicSiteBase) + "c1/index.html");

    const BatchTest::Result update = Run(nginx.Url(""), {"LD_DEBUG=files"});
    ASSERT_EQ(update.exitCode, 0) << update.errors.toStdString();
    ASSERT_FALSE(update.lines.isEmpty());
    EXPECT_EQ(update.lines.last(), "1 updated, 0 didn't need a update, 0 failed.");
    const QStringList strips = QDir(folder.filePath("Comics/Lone")).entryList({"*.gif"}, QDir::Files);
    ASSERT_EQ(strips.size(), 1) << FilesOf("Lone").join(",").toStdString();
    EXPECT_EQ(ReadAll(Strip("Lone", strips[0])), Bytes('g', 4000));
    ASSERT_TRUE(update.errors.contains("file=libQt6Core.so")) << "LD_DEBUG said nothing";
    EXPECT_EQ(UnneededLibraries(update.errors), QStringList());

    const QString opml = folder.filePath("out.opml");
    const BatchTest::Result exported = RunProgram({"--export-opml", opml}, nginx.Url(""), {"LD_DEBUG=files"});
    EXPECT_EQ(exported.exitCode, 0) << exported.errors.toStdString();
    EXPECT_TRUE(ReadAll(opml).contains("c1/index.html"));
    EXPECT_EQ(UnneededLibraries(exported.errors), QStringList());
}

TEST_F(BatchTest, WindowWithoutItsModuleEndsWithTheReason)
{
    QTemporaryDir alone;
    program = LoneProgram(alone);
    ASSERT_FALSE(program.isEmpty());
    QTemporaryDir runtime; // the window's socket goes here
    ASSERT_TRUE(
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QStringList env{"XDG_RUNTIME_DIR=" + runtime.path(), "QT_QPA_PLATFORM=offscreen"};

    const BatchTest::Result missing = RunProgram({}, "http://127.0.0.1:9", env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.lines.isEmpty());
    const QString installed = QDir::cleanPath(alone.filePath("lib/panelwick/modules/panelwick-window.so"));
    EXPECT_EQ(missing.errors, "panelwick: cannot load " + installed +
                                  ": cannot open shared object file: No such file or directory\n");
    // The claim on the window is given up with it.
    EXPECT_EQ(
        QDir(runtime.filePath("panelwick")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
        QStringList());

    // One that is there but is no module.
    const QString beside = alone.filePath("bin/panelwick-window.so");
    QFile broken(beside);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a library");
    broken.close();
    const BatchTest::Result unusable = RunProgram({}, "http://127.0.0.1:9", env);
    EXPECT_EQ(unusable.exitCode, 1);
    EXPECT_TRUE(unusable.errors.startsWith("panelwick: cannot load " + beside + ": "))
        << unusable.errors.toStdString();

    // One of another build, whose types may be laid out otherwise: never called.
    ASSERT_TRUE(QFile::remove(beside));
    ASSERT_TRUE(QFile::copy(PANELWICK_OTHER_BUILD_WINDOW, beside));
    const BatchTest::Result other = RunProgram({}, "http://127.0.0.1:9", env);
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_TRUE(
        other.errors.startsWith("panelwick: cannot load " + beside + ": it is of build 0.9+gitother, "))
        << other.errors.toStdString();
}
