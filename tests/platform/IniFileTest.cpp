#include "platform/IniFile.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using pw::platform::TIniFile;
using namespace std::literals;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString path = tmp.filePath(QStringLiteral("panelwick.ini"));

    void Put(const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Bytes() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

TEST_F(IniFileTest, MissingFileReadsDefaultsAndFirstWriteCreatesItWithCrLf)
{
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Comics", "CurrentComic", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("Window", "Width", 630), 630);
    EXPECT_TRUE(ini.ReadBool("Updates", "UpdateProgramStart", true));
    EXPECT_FALSE(QFile::exists(path));

    ini.WriteString("Comics", "CurrentComic", "Dilbert");
    ini.WriteBool("Comics", "Dilbert", true);
    ini.WriteInteger("Window", "Width", 700);
    EXPECT_EQ(Bytes(),
              QByteArray("[Comics]\r\nCurrentComic=Dilbert\r\nDilbert=1\r\n\r\n[Window]\r\nWidth=700\r\n"));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"panelwick.ini"});
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCaseAndBlanks)
{
    Put("[window]\r\n  leftpos = 12\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Window", "LeftPos", 1), 12);
    EXPECT_EQ(ini.ReadInteger("WINDOW", "LEFTPOS", 1), 12);
    ini.WriteInteger("WINDOW", "LeftPos", 40);
    // The existing line is changed in place, keeping its spelling and indentation.
    EXPECT_EQ(Bytes(), QByteArray("[window]\r\n  leftpos =40\r\n"));
    EXPECT_EQ(ini.ReadInteger("window", "leftpos", 1), 40);
    ini.WriteBool(QString::fromUtf8("Straße"), QString::fromUtf8("Zürich"), true);
    EXPECT_TRUE(ini.ReadBool(QString::fromUtf8("STRAßE"), QString::fromUtf8("ZÜRICH"), false));
    EXPECT_FALSE(ini.ReadBool(QString::fromUtf8("Strasse"), QString::fromUtf8("Zurich"), false));
}

TEST_F(IniFileTest, IntegersDecimalHexadecimalAndGarbage)
{
    EXPECT_EQ(TIniFile::ParseInteger("42", 7), 42);
    EXPECT_EQ(TIniFile::ParseInteger("-5", 7), -5);
    EXPECT_EQ(TIniFile::ParseInteger("0x10", 7), 16);
    EXPECT_EQ(TIniFile::ParseInteger("0X1f", 7), 31);
    EXPECT_EQ(TIniFile::ParseInteger("0xFFFFFFFF", 7), -1);
    EXPECT_EQ(TIniFile::ParseInteger("0x", 7), 7);
    EXPECT_EQ(TIniFile::ParseInteger("0x1G", 7), 7);
    EXPECT_EQ(TIniFile::ParseInteger("0x0x10", 7), 7);
    EXPECT_EQ(TIniFile::ParseInteger("0x100000000", 7), 7);
    EXPECT_EQ(TIniFile::ParseInteger("12abc", 7), 7);
    EXPECT_EQ(TIniFile::ParseInteger("-2147483648", 7), -2147483647 - 1);
    EXPECT_EQ(TIniFile::ParseInteger("2147483648", 7), 7);
    EXPECT_EQ(TIniFile::ParseInteger("99999999999999999999", 7), 7);
    EXPECT_EQ(TIniFile::ParseInteger(QString::fromUtf8("\xd9\xa3"), 7), 7); // Arabic-Indic three
}

TEST_F(IniFileTest, EmptyValueIsNotAnAbsentOne)
{
    Put("[Proxy]\r\nProxyIP=\r\nProxyPort=\r\nUseProxy=\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Proxy", "ProxyIP", "dflt"), "");
    EXPECT_FALSE(ini.ReadString("Proxy", "ProxyIP", "dflt").isNull());
    EXPECT_EQ(ini.ReadString("Proxy", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("Proxy", "ProxyPort", 80), 80);
    EXPECT_TRUE(ini.ReadBool("Proxy", "UseProxy", true));
    EXPECT_FALSE(ini.ReadBool("Proxy", "UseProxy", false));
}

TEST_F(IniFileTest, BooleansAreIntegers)
{
    Put("[B]\r\na=1\r\nb=0\r\nc=0x10\r\nd=yes\r\ne=-3\r\nA=0\r\n\xc3\x9c ber=1\r\n");
    TIniFile ini(path);
    EXPECT_TRUE(ini.ReadBool("B", "a", false));
    EXPECT_FALSE(ini.ReadBool("B", "b", true));
    EXPECT_TRUE(ini.ReadBool("B", "c", false));
    EXPECT_TRUE(ini.ReadBool("B", "d", true));
    EXPECT_FALSE(ini.ReadBool("B", "d", false));
    EXPECT_TRUE(ini.ReadBool("B", "e", false));
    // Names fold alike in both reads, beyond ASCII too; the first of two alike wins.
    EXPECT_TRUE(ini.ReadBool("B", QString::fromUtf8("\xc3\xbc BER"), false));
    EXPECT_EQ(ini.ReadBools("b", {"A", "b", "c", "d", "e", "nope", QString::fromUtf8("\xc3\xbc BER")}, false),
              (std::vector<bool>{true, false, true, false, true, false, true}));
    EXPECT_EQ(ini.ReadBools("Other", {"a"}, true), std::vector<bool>{true});
}

TEST_F(IniFileTest, StringsAreCutAt2047CharactersOnReadOnly)
{
    const QString longValue(5000, QLatin1Char('x'));
    TIniFile ini(path);
    ini.WriteString("S", "Long", longValue);
    EXPECT_EQ(ini.ReadString("S", "Long", "").size(), 2047);
    EXPECT_EQ(TIniFile::FindValue(Bytes(), "S", "Long")->size(), 5000); // the file keeps it all
    ini.WriteString("S", "Exact", QString(2047, QLatin1Char('y')));
    EXPECT_EQ(ini.ReadString("S", "Exact", ""), QString(2047, QLatin1Char('y')));
    // A character outside the basic plane across the cut is dropped whole.
    QString pair = QString(2046, QLatin1Char('z')) + QString::fromUcs4(U"\U0001F600");
    ini.WriteString("S", "Pair", pair);
    EXPECT_EQ(ini.ReadString("S", "Pair", ""), QString(2046, QLatin1Char('z')));
}

TEST_F(IniFileTest, GarbageBinaryBytesEndingsAndOrderSurviveARewrite)
{
    constexpr std::string_view raw = "; comment\r\n"
                                     "orphan=before any section\r\n"
                                     "[Comics]\r\n"
                                     "garbage without equals\n"
                                     "Dilbert=1\r"
                                     "bin\x00\xff\xfe=\x01\x02\r\n"
                                     "CurrentComic=Old\r\n"
                                     "\r\n"
                                     "[Window]\r\n"
                                     "Width=630"sv;
    const QByteArray before(raw.data(), static_cast<qsizetype>(raw.size()));
    Put(before);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Comics", "Dilbert", ""), "1");
    EXPECT_EQ(ini.ReadString("Comics", "orphan", "none"), "none");

    ini.WriteString("Comics", "CurrentComic", "New");
    QByteArray expected = before;
    expected.replace("CurrentComic=Old", "CurrentComic=New");
    EXPECT_EQ(Bytes(), expected);

    // A new key goes after the section's last non-blank line; the unended last line
    // gets the file's ending before anything follows it.
    ini.WriteBool("Comics", "Garfield", false);
    expected.replace("CurrentComic=New\r\n", "CurrentComic=New\r\nGarfield=0\r\n");
    EXPECT_EQ(Bytes(), expected);
    ini.WriteInteger("Window", "Height", 470);
    expected += "\r\nHeight=470\r\n";
    EXPECT_EQ(Bytes(), expected);
    EXPECT_EQ(ini.ReadInteger("Window", "Width", 0), 630);
    EXPECT_EQ(ini.ReadInteger("Window", "Height", 0), 470);
}

TEST_F(IniFileTest, NewLinesFollowTheFileOwnEnding)
{
    Put("[A]\nx=1\n");
    TIniFile ini(path);
    ini.WriteString("A", "y", "2");
    ini.WriteString("B", "z", "3");
    EXPECT_EQ(Bytes(), QByteArray("[A]\nx=1\ny=2\n\n[B]\nz=3\n"));
}

TEST_F(IniFileTest, DuplicatesAndRepeatedSections)
{
    Put("[A]\r\nk=first\r\nk=second\r\n[B]\r\nk=b\r\n[a]\r\nj=later\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("A", "k", ""), "first");
    EXPECT_EQ(ini.ReadString("A", "j", ""), "later");
    ini.WriteString("A", "k", "changed");
    ini.WriteString("A", "j", "changed too");
    ini.WriteString("A", "n", "new");
    EXPECT_EQ(Bytes(),
              QByteArray("[A]\r\nk=changed\r\nk=second\r\nn=new\r\n[B]\r\nk=b\r\n[a]\r\nj=changed too\r\n"));
}

TEST_F(IniFileTest, ValuesRoundTripWhateverTheirBlanksAndQuotes)
{
    TIniFile ini(path);
    const QStringList values = {
        "  padded  ", "\"quoted\"", "\"", "\"\"", "a \"b\" c", "tab\there", QString::fromUtf8("Zürich ☃")};
    for (const QString& v : values) {
        ini.WriteString("V", "k", v);
        EXPECT_EQ(ini.ReadString("V", "k", "dflt"), v);
    }
    Put("[V]\r\nk = \"hand\"  \r\n");
    EXPECT_EQ(ini.ReadString("V", "k", ""), "hand");
}

TEST_F(IniFileTest, LineBreaksInNamesOrValuesCannotInjectKeys)
{
    TIniFile ini(path);
    ini.WriteString("Proxy", "ProxyIP", "1.2.3.4\r\n[Comics]\r\nEvil=1");
    EXPECT_FALSE(ini.ReadBool("Comics", "Evil", false));
    EXPECT_EQ(ini.ReadString("Proxy", "ProxyIP", ""), "1.2.3.4  [Comics]  Evil=1");
    ini.WriteBool("Comics", "Bad\nName", true);
    EXPECT_TRUE(ini.ReadBool("Comics", "Bad Name", false));
}

TEST_F(IniFileTest, KeysThatLookLikeSectionsStayKeys)
{
    TIniFile ini(path);
    ini.WriteBool("Comics", "[Weird]", true);
    ini.WriteBool("Comics", "Normal", true);
    ini.WriteBool("Comics", "", true); // the comic with the empty name
    EXPECT_TRUE(ini.ReadBool("Comics", "[Weird]", false));
    EXPECT_TRUE(ini.ReadBool("Comics", "Normal", false));
    EXPECT_TRUE(ini.ReadBool("Comics", "", false));
    EXPECT_FALSE(ini.ReadBool("Weird", "Normal", false));
    EXPECT_EQ(Bytes(), QByteArray("[Comics]\r\n[Weird]=1\r\nNormal=1\r\n=1\r\n"));
    // A value closing the bracket would turn the line into a section header.
    ini.WriteString("Comics", "[Weird]", "x]");
    EXPECT_EQ(ini.ReadString("Comics", "[Weird]", ""), "x]");
    EXPECT_TRUE(ini.ReadBool("Comics", "Normal", false));
}

TEST_F(IniFileTest, RefusedWriteNamesThePathAndChangesNothing)
{
    // Tests run as root, so a folder's permissions would not stop the write: put the file
    // under a regular file instead.
    const QString blocker = tmp.filePath("plainfile");
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a folder");
    }
    const QString badPath = blocker + "/panelwick.ini";
    TIniFile ini(badPath);
    try {
        ini.WriteString("Comics", "CurrentComic", "X");
        FAIL() << "write did not throw";
    } catch (const pw::platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + badPath);
    }
    EXPECT_EQ(ini.ReadString("Comics", "CurrentComic", "dflt"), "dflt");

    // A configuration "file" that cannot be read is not replaced by a one-key file.
    ASSERT_TRUE(QDir(tmp.path()).mkdir("folder.ini"));
    TIniFile folderIni(tmp.filePath("folder.ini"));
    EXPECT_EQ(folderIni.ReadInteger("A", "b", 3), 3);
    EXPECT_THROW(folderIni.WriteInteger("A", "b", 4), pw::platform::Exception);
    EXPECT_TRUE(QFileInfo(tmp.filePath("folder.ini")).isDir());
}

TEST_F(IniFileTest, FullDiskLeavesTheOldFileWhole)
{
    const QByteArray before = "[Comics]\r\nCurrentComic=Old\r\n" + QByteArray(3000, ';') + "\r\n";
    Put(before);
    TIniFile ini(path);

    // A file size limit makes every write past 1 KiB fail, as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        ini.WriteString("Comics", "CurrentComic", "New");
    } catch (const pw::platform::Exception& e) {
        threw = e.Message() == "Unable to write to " + path;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"panelwick.ini"});
}

TEST_F(IniFileTest, RewriteKeepsTheFilePermissions)
{
    Put("[A]\r\nk=1\r\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    TIniFile ini(path);
    ini.WriteString("A", "k", "2");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ini.ReadString("A", "k", ""), "2");
}

TEST_F(IniFileTest, WritingTheValueAlreadyThereLeavesTheFileAlone)
{
    Put("[A]\r\nk=1\r\n");
    auto inode = [&] {
        struct stat st {};
        stat(QFile::encodeName(path).constData(), &st);
        return st.st_ino;
    };
    const auto before = inode();
    TIniFile ini(path);
    ini.WriteBool("a", "K", true);
    EXPECT_EQ(inode(), before);
    ini.WriteBool("A", "k", false); // a real change goes through a new file
    EXPECT_NE(inode(), before);
    EXPECT_EQ(Bytes(), "[A]\r\nk=0\r\n");
}

TEST_F(IniFileTest, EveryReadSeesTheFileAsItIsNow)
{
    TIniFile ini(path);
    ini.WriteInteger("Downloads", "MaxSimDownloads", 3);
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 3);
    Put("[Downloads]\r\nMaxSimDownloads=9\r\n"); // changed behind the object's back
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 9);
}

TEST_F(IniFileTest, AnUnchangedFileReadAgainStillShowsEveryChange)
{
    Put("[Downloads]\r\nMaxSimDownloads=3\r\n");
    // Older than the file system's clock tick (file times here have fractions of a
    // second): its bytes, and the answers found in them, may be kept between reads.
    std::this_thread::sleep_for(150ms);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 3);
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 3);
    Put("[Downloads]\r\nMaxSimDownloads=7\r\n"); // same size, same file
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 7);
    // Quick rewrites of the same size, each read at once, then read again once settled.
    for (int i = 10; i < 40; ++i) {
        Put("[Downloads]\r\nMaxSimDownloads=" + QByteArray::number(i) + "\r\n");
        ASSERT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), i);
    }
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 39);
    EXPECT_EQ(ini.ReadString("downloads", "MAXSIMDOWNLOADS", ""), "39");
    Put("[Downloads]\r\nMaxSimDownloads=40\r\n");
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 40);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(ini.ReadInteger("Downloads", "MaxSimDownloads", 0), 0);
}

} // namespace

TEST(IniFindValue, LinesOutsideTheSectionAreSkippedWithoutMissingAHeader)
{
    // Headers after blanks or lone CRs and keys that begin with a bracket are all seen.
    const QByteArray text = "x=0\r[A]  \n  k=1\r\n\t[B]\t\r\nk=2\n[x]=3\n\n  [ C ]\rk=\"4\"\r\r[b]\nj=5\n"
                            "v=a [E]\r\n[D]\r\n k=[E]\r\n[E]x\r\nm=7";
    struct Case {
        const char* section;
        const char* key;
        const char* expected; // nullptr: absent
    };
    const Case cases[] = {{"A", "k", "1"},    {"B", "k", "2"},     {"b", "[x]", "3"},  {"C", "k", "4"},
                          {"B", "j", "5"},    {"D", "k", "[E]"},   {"D", "m", "7"},    {"A", "j", nullptr},
                          {"", "x", nullptr}, {"E", "m", nullptr}, {"F", "k", nullptr}};
    for (const Case& c : cases) {
        const std::optional<QString> v = TIniFile::FindValue(text, c.section, c.key);
        if (c.expected)
            EXPECT_EQ(v.value_or("<absent>"), QString::fromLatin1(c.expected)) << c.section << "/" << c.key;
        else
            EXPECT_FALSE(v.has_value()) << c.section << "/" << c.key;
    }
}

TEST(IniFileText, ManyKeysAtOnceLeaveTheFileAsOneKeyAtATimeWould)
{
    const std::vector<std::pair<QString, QString>> values = {{"Alpha", "1"}, {"new one", "1"}, {"BRAVO", "0"},
                                                             {"Other", "x"}, {"alpha", "0"},   {"Zulu", "1"}};
    for (const QByteArray& text : {QByteArray(), QByteArray("[Misc]\r\nAutoStart=1"),
                                   QByteArray("[Comics]\r\nalpha=1\r\nBravo=1\r\n\r\n[Misc]\r\n"),
                                   QByteArray("[comics]\rZulu=0\r[Misc]\rA=1\r[Comics]\rOther=y\r"),
                                   QByteArray("[Comics]\nBravo=1\nBravo=1\n[Window]\nWidth=3\n")}) {
        QByteArray oneByOne = text;
        for (const auto& [key, value] : values)
            oneByOne = TIniFile::WithValue(oneByOne, "Comics", key, value);
        EXPECT_EQ(TIniFile::WithValues(text, "Comics", values), oneByOne) << text.toStdString();
    }
}

namespace {

void Overwrite(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)); // in place: same file, same size
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

// Kept answers must never hide a change, however it is made: by another object on the
// same file (the window beside a batch run), in place through a link that leads to the
// file from elsewhere, or by a new folder put where the program folder was.
TEST(IniFileChanges, EveryWayOfChangingTheFileIsSeenAtTheNextRead)
{
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("program");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/panelwick.ini";
    TIniFile batch(path);
    TIniFile window(path);
    window.WriteInteger("Downloads", "MaxSimDownloads", 3);
    EXPECT_EQ(batch.ReadInteger("Downloads", "MaxSimDownloads", 0), 3);
    window.WriteString("Wallpaper", "Comic", "Rain");
    EXPECT_EQ(batch.ReadString("Wallpaper", "Comic", ""), "Rain");
    window.WriteString("Wallpaper", "Comic", "Snow"); // same size, same moment
    EXPECT_EQ(batch.ReadString("Wallpaper", "Comic", ""), "Snow");

    // A second name for the file, elsewhere, written in place.
    const QString elsewhere = tmp.filePath("elsewhere.ini");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(elsewhere).constData()), 0);
    EXPECT_EQ(batch.ReadString("Wallpaper", "Comic", ""), "Snow");
    Overwrite(elsewhere, "[Downloads]\r\nMaxSimDownloads=7\r\n[Wallpaper]\r\nComic=Hail\r\n");
    EXPECT_EQ(batch.ReadString("Wallpaper", "Comic", ""), "Hail");

    // The settings kept as a link to a file elsewhere.
    const QString target = tmp.filePath("dotfiles.ini");
    Overwrite(target, "[Downloads]\r\nMaxSimDownloads=4\r\n");
    TIniFile linked(tmp.filePath("linked/panelwick.ini"));
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("linked")));
    ASSERT_TRUE(QFile::link(target, tmp.filePath("linked/panelwick.ini")));
    EXPECT_EQ(linked.ReadInteger("Downloads", "MaxSimDownloads", 0), 4);
    Overwrite(target, "[Downloads]\r\nMaxSimDownloads=5\r\n");
    EXPECT_EQ(linked.ReadInteger("Downloads", "MaxSimDownloads", 0), 5);

    // The whole program folder moved away and another put in its place.
    TIniFile moved(path);
    EXPECT_EQ(moved.ReadInteger("Downloads", "MaxSimDownloads", 0), 7);
    ASSERT_TRUE(QDir().rename(folder, tmp.filePath("old")));
    ASSERT_TRUE(QDir().mkpath(folder));
    Overwrite(path, "[Downloads]\r\nMaxSimDownloads=8\r\n");
    EXPECT_EQ(moved.ReadInteger("Downloads", "MaxSimDownloads", 0), 8);
}
