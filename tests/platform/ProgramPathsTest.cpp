#include "platform/ProgramPaths.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using pw::platform::TProgramPaths;

namespace {

void Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

class ProgramPaths : public ::testing::Test {
protected:
    QString Root() const { return dir.path(); }
    QProcessEnvironment Env(const QString& config, const QString& data) const
    {
        QProcessEnvironment env;
        env.insert("HOME", Root() + "/home");
        if (!config.isNull())
            env.insert("XDG_CONFIG_HOME", config);
        if (!data.isNull())
            env.insert("XDG_DATA_HOME", data);
        return env;
    }
    QTemporaryDir dir;
};

TEST_F(ProgramPaths, ACatalogueBesideTheExecutableKeepsEverythingInItsFolder)
{
    Touch(Root() + "/build/Comics.urls");
    const auto p =
        TProgramPaths::Decide(Root() + "/build/panelwick", {}, Env(Root() + "/cfg", Root() + "/data"));
    EXPECT_FALSE(p.Installed);
    EXPECT_EQ(p.Executable, Root() + "/build/panelwick");
    EXPECT_EQ(p.IniPath, Root() + "/build/panelwick.ini");
    EXPECT_EQ(p.CataloguePath, Root() + "/build/Comics.urls");
    EXPECT_EQ(p.DefaultComicsDir, Root() + "/build/Comics/");
    EXPECT_EQ(p.HelpPath, Root() + "/build/Help/index.html");
    EXPECT_EQ(p.UserDataDir, Root() + "/data/panelwick/");
    p.MakeFolders();
    EXPECT_FALSE(QFile::exists(Root() + "/data")) << "a portable program makes nothing in the home";

    // "--program-folder" wins over both layouts.
    const auto q = TProgramPaths::Decide(Root() + "/usr/bin/panelwick", Root() + "/mine/", Env({}, {}));
    EXPECT_FALSE(q.Installed);
    EXPECT_EQ(q.IniPath, Root() + "/mine/panelwick.ini");
    EXPECT_EQ(q.CataloguePath, Root() + "/mine/Comics.urls");
    EXPECT_EQ(q.UserCataloguePath, Root() + "/mine/MyComics.urls");
    EXPECT_EQ(p.UserCataloguePath, Root() + "/build/MyComics.urls");
}

TEST_F(ProgramPaths, AnInstalledProgramFollowsXdgAndFallsBackToTheShippedCatalogue)
{
    const QString exe = Root() + "/usr/bin/panelwick";
    auto p = TProgramPaths::Decide(exe, {}, Env(Root() + "/cfg", Root() + "/data"));
    EXPECT_TRUE(p.Installed);
    EXPECT_EQ(p.IniPath, Root() + "/cfg/panelwick/panelwick.ini");
    EXPECT_EQ(p.CataloguePath, Root() + "/usr/share/panelwick/Comics.urls");
    EXPECT_EQ(p.UserCataloguePath, Root() + "/cfg/panelwick/MyComics.urls"); // beside the configuration
    EXPECT_EQ(p.DefaultComicsDir, Root() + "/data/panelwick/Comics/");
    EXPECT_EQ(p.HelpPath, Root() + "/usr/share/panelwick/Help/index.html");

    p.MakeFolders();
    EXPECT_TRUE(QFileInfo(Root() + "/cfg/panelwick").isDir());
    EXPECT_TRUE(QFileInfo(Root() + "/data/panelwick").isDir());
    Touch(Root() + "/cfg/panelwick/Comics.urls"); // the user's own catalogue
    EXPECT_EQ(TProgramPaths::Decide(exe, {}, Env(Root() + "/cfg", {})).CataloguePath,
              Root() + "/cfg/panelwick/Comics.urls");

    // Unset or relative XDG variables mean the defaults under HOME.
    const auto d = TProgramPaths::Decide(exe, {}, Env("relative/cfg", {}));
    EXPECT_EQ(d.IniPath, Root() + "/home/.config/panelwick/panelwick.ini");
    EXPECT_EQ(d.DefaultComicsDir, Root() + "/home/.local/share/panelwick/Comics/");
}

TEST_F(ProgramPaths, AnEmptyComicsDirMeansTheDefaultFolder)
{
    Touch(Root() + "/build/Comics.urls");
    const auto p = TProgramPaths::Decide(Root() + "/build/panelwick", {}, Env({}, {}));
    pw::platform::TIniFile ini(p.IniPath);
    EXPECT_EQ(p.ComicsDir(ini), p.DefaultComicsDir);
    ini.WriteString("Comics", "ComicsDir", "");
    EXPECT_EQ(p.ComicsDir(ini), p.DefaultComicsDir);
    ini.WriteString("Comics", "ComicsDir", "/srv/strips/");
    EXPECT_EQ(p.ComicsDir(ini), "/srv/strips/");
}

} // namespace
