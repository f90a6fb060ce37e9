#include "AppFixture.h"
#include "MessageBoxRecorder.h"

#include "TestPaths.h"
#include "app/NoticePictures.h"
#include "app/TForm1.h"
#include "app/UnreadMarks.h"
#include "comics/TComicInfo.h"
#include "desktop/TTrayIcon.h"
#include "imaging/TGifDecoder.h"
#include "platform/FileStamp.h"
#include "platform/Timer.h"
#include "platform/Tunables.h"

#include <QAbstractItemView>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;
using pw::test::MessageBoxRecorder;
using pw::test::ProgramFolder;

namespace {

QString Date(int y, int m, int d)
{
    return QLocale::system().toString(QDate(y, m, d), QLocale::ShortFormat);
}

// Selector: Gamma (no strips), Alpha (red, lime, blue), Beta (yellow, cyan).
class Navigation : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Tunables::NoticeMs = 60000; // notices end by keys here, not by time
        folder.WriteCatalogue("Gamma\thttp://x/g/\r\nAlpha\thttp://x/a/\r\nBeta\thttp://x/b/\r\n");
        folder.WriteIni("[Comics]\r\nAlpha=1\r\nBeta=1\r\nGamma=1\r\nCurrentComic=Alpha\r\n"
                        "[Updates]\r\nUpdateProgramStart=0\r\n");
        folder.AddGif("Alpha", "20010101", "red");
        folder.AddGif("Alpha", "20010102", "lime");
        folder.AddGif("Alpha", "20010103", "blue");
        folder.AddGif("Beta", "20020202", "yellow");
        folder.AddGif("Beta", "20020203", "cyan");
        const app::NoticePictures notices = app::NoticePictures::Load();
        stripsNotice = imaging::TGifDecoder::GetGIFBuffer(notices.EndOfStrips);
        comicsNotice = imaging::TGifDecoder::GetGIFBuffer(notices.EndOfComics);
        unreadNotice = imaging::TGifDecoder::GetGIFBuffer(notices.NoUnread);
        ASSERT_FALSE(stripsNotice.isNull());
        ASSERT_FALSE(unreadNotice.isNull());
        ASSERT_FALSE(comicsNotice.isNull());
        ASSERT_FALSE(test::SameImage(stripsNotice, comicsNotice));
    }
    void TearDown() override { platform::Tunables::NoticeMs = 3000; }

    app::TForm1& Start()
    {
        startup = std::make_unique<test::TestProgram>();
        log = startup->log;
        EXPECT_TRUE(startup->Start(folder.Options()));
        form().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form()));
        return form();
    }
    app::TForm1& form() { return startup->form; }
    QWidget* target() { return &form(); }
    void Key(int key, Qt::KeyboardModifiers m = Qt::NoModifier) { test::Press(target(), key, m); }
    bool ShowsNotice(const QImage& notice) { return test::SameImage(test::Shown(form()), notice); }
    // "bold, tooltip" of a selector entry, "plain" for an entry without unread strips.
    QString Mark(int index)
    {
        const QVariant font = form().comboComics->itemData(index, Qt::FontRole);
        const QString tip = form().comboComics->itemData(index, Qt::ToolTipRole).toString();
        if (!font.isValid() && tip.isEmpty())
            return "plain";
        return (font.value<QFont>().bold() ? "bold, " : "not bold, ") + tip;
    }

    MessageBoxRecorder boxes;
    ProgramFolder folder;
    std::unique_ptr<test::TestProgram> startup;
    std::shared_ptr<test::HookLog> log;
    QImage stripsNotice, comicsNotice, unreadNotice;
};

TEST_F(Navigation, LeftAndRightStepThroughStripsAndEndInANotice)
{
    app::TForm1& f = Start();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 3));
    Key(Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green));
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Alpha20010102.gif");
    Key(Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::red));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 1));

    Key(Qt::Key_Left); // no earlier strip
    EXPECT_TRUE(ShowsNotice(stripsNotice));
    EXPECT_TRUE(f.NoStripsTimer->Enabled());
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 1)); // the label keeps its text
    Key(Qt::Key_Left);                                     // only ends the notice
    EXPECT_FALSE(f.NoStripsTimer->Enabled());
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::red));

    f.btnNext->click();
    f.btnNext->click();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    Key(Qt::Key_Right); // newest: notice
    EXPECT_TRUE(ShowsNotice(stripsNotice));
    Key(Qt::Key_Right); // within the notice: the strip comes back at once
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    EXPECT_FALSE(f.NoStripsTimer->Enabled());
}

TEST_F(Navigation, TheStripsOfOneDayComeOneByOneInTheirOrder)
{
    // 3 January has three strips; the third has a title in the words file.
    folder.AddGif("Alpha", "20010103-2", "yellow");
    folder.AddGif("Alpha", "20010103-3", "cyan");
    QFile words(folder.Path() + "Comics/Alpha/.words");
    ASSERT_TRUE(words.open(QIODevice::WriteOnly));
    words.write("# Panelwick strip words\nAlpha20010103-3.gif\tLast of the day\t\t\t\t\n");
    words.close();

    app::TForm1& f = Start();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan)); // the newest is the day's last
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 3) + QString::fromUtf8(" \u2013 Last of the day"));
    Key(Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::yellow));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 3));
    Key(Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Alpha20010103.gif");
    Key(Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 2));

    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::yellow));
    Key(Qt::Key_Right);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan));
    Key(Qt::Key_Right); // the day's last is the newest
    EXPECT_TRUE(ShowsNotice(stripsNotice));
}

TEST_F(Navigation, UpAndDownChangeComicsWithoutWrappingAround)
{
    app::TForm1& f = Start();
    Key(Qt::Key_Down);
    EXPECT_EQ(f.comboComics->currentText(), "Beta");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan));
    Key(Qt::Key_Down); // last comic
    EXPECT_EQ(f.comboComics->currentText(), "Beta");
    EXPECT_TRUE(ShowsNotice(comicsNotice));
    EXPECT_TRUE(f.NoComicsTimer->Enabled());
    Key(Qt::Key_Left); // ends the comic notice and moves to the previous strip of Beta
    EXPECT_FALSE(f.NoComicsTimer->Enabled());
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::yellow));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2002, 2, 2));

    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(f.comboComics->currentText(), "Gamma");
    EXPECT_EQ(f.lblCurrentDate->text(), "No strips yet");
    EXPECT_TRUE(test::Shown(f).isNull());
    Key(Qt::Key_Up); // first comic
    EXPECT_EQ(f.comboComics->currentIndex(), 0);
    EXPECT_TRUE(ShowsNotice(comicsNotice));
    Key(Qt::Key_Up); // ends the notice
    EXPECT_TRUE(test::Shown(f).isNull());
    EXPECT_EQ(f.lblCurrentDate->text(), "No strips yet");

    Key(Qt::Key_Down); // Alpha again shows the strip it showed last
    Key(Qt::Key_Left);
    Key(Qt::Key_Down);
    Key(Qt::Key_Up);
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green));
}

TEST_F(Navigation, ArrowsNeverReachTheComicSelector)
{
    app::TForm1& f = Start();
    f.comboComics->setFocus();
    ASSERT_EQ(f.comboComics->currentIndex(), 1);
    for (const Qt::KeyboardModifiers m :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::AltModifier),
          Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier)}) {
        test::Press(f.comboComics, Qt::Key_Up, m);
        EXPECT_EQ(f.comboComics->currentIndex(), 0);
        EXPECT_EQ(f.CurrentComic()->Name, "Gamma");
        test::Press(f.comboComics, Qt::Key_Down, m);
        EXPECT_EQ(f.comboComics->currentIndex(), 1) << "one step per key, by the window only";
        EXPECT_EQ(f.CurrentComic()->Name, "Alpha");
        EXPECT_FALSE(f.comboComics->view()->isVisible()) << "Alt+Down must not open the list";
        test::Press(f.comboComics, Qt::Key_Left, m);
        EXPECT_EQ(test::ShownColour(f), QColor(Qt::green));
        test::Press(f.comboComics, Qt::Key_Right, m);
        EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    }
}

TEST_F(Navigation, ChoosingInTheSelectorShowsThatComic)
{
    app::TForm1& f = Start();
    f.comboComics->setCurrentIndex(2);
    emit f.comboComics->activated(2);
    EXPECT_EQ(f.CurrentComic()->Name, "Beta");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan));
}

TEST_F(Navigation, NoticeEndsByItselfAndTheStripComesBack)
{
    platform::Tunables::NoticeMs = 50;
    app::TForm1& f = Start();
    Key(Qt::Key_Right);
    EXPECT_TRUE(ShowsNotice(stripsNotice));
    EXPECT_TRUE(test::WaitFor([&] { return !f.NoStripsTimer->Enabled(); }, 30000));
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_TRUE(ShowsNotice(comicsNotice));
    EXPECT_TRUE(test::WaitFor([&] { return !f.NoComicsTimer->Enabled(); }, 30000));
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan));
}

TEST_F(Navigation, ResizeDuringANoticeRedrawsTheStripAndTheTimerGoesOn)
{
    app::TForm1& f = Start();
    Key(Qt::Key_Right);
    ASSERT_TRUE(ShowsNotice(stripsNotice));
    f.resize(f.width() + 40, f.height() + 30);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    EXPECT_TRUE(f.NoStripsTimer->Enabled());
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 3));
}

TEST_F(Navigation, UnreadStripsComeFirstOnePerSelection)
{
    folder.WriteUnread("Alpha", {"Alpha20010101.gif", "Alpha20010102.gif"});
    app::TForm1& f = Start();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::red));
    EXPECT_EQ(folder.Unread("Alpha"), QStringList{"Alpha20010102.gif"});
    Key(Qt::Key_Down);
    Key(Qt::Key_Up);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green));
    EXPECT_TRUE(folder.Unread("Alpha").isEmpty());
    Key(Qt::Key_Down);
    Key(Qt::Key_Up);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green)); // the strip it showed last
}

// A damaged strip fails its command, not the key: one press is one step and one box,
// wherever the focus is.
TEST_F(Navigation, OneKeyIsOneStepAlsoOntoADamagedStrip)
{
    folder.WriteCatalogue("Gamma\thttp://x/g/\r\nAlpha\thttp://x/a/\r\nBeta\thttp://x/b/\r\n"
                          "Delta\thttp://x/d/\r\n");
    folder.WriteIni("[Comics]\r\nAlpha=1\r\nBeta=1\r\nGamma=1\r\nDelta=1\r\nCurrentComic=Alpha\r\n"
                    "[Updates]\r\nUpdateProgramStart=0\r\n[Wallpaper]\r\nComic=Beta\r\n");
    QFile truncated(test::FixturePath(QStringLiteral("images/truncated.jpg")));
    ASSERT_TRUE(truncated.open(QIODevice::ReadOnly));
    const QByteArray damaged = truncated.readAll();
    folder.AddFile("Alpha", "Alpha20010104.jpg", damaged);
    folder.AddGif("Alpha", "20010105", "white");
    folder.AddFile("Beta", "Beta20020204.jpg", damaged);
    folder.AddGif("Delta", "20030303", "black");
    app::TForm1& f = Start();
    ASSERT_EQ(test::ShownColour(f), QColor(Qt::white));
    f.comboComics->setFocus();

    test::Press(f.comboComics, Qt::Key_Left);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::Error);
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Alpha20010104.jpg");
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 4));
    EXPECT_TRUE(test::Shown(f).isNull());
    test::Press(f.comboComics, Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue)) << "the strip before the damaged one";
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    test::Press(f.comboComics, Qt::Key_Right);
    test::Press(f.comboComics, Qt::Key_Right);
    EXPECT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::white)) << "Right too steps once per key";

    boxes.Clear();
    test::Press(f.comboComics, Qt::Key_Down); // Beta shows its damaged strip
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(f.comboComics->currentText(), "Beta");
    EXPECT_EQ(f.CurrentComic()->Name, "Beta");
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2002, 2, 4));
    EXPECT_TRUE(f.AlwaysSetLatestStrip1->isChecked()) << "the mark follows the comic";
    test::Press(f.comboComics, Qt::Key_Down);
    EXPECT_EQ(f.CurrentComic()->Name, "Delta");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::black));
    test::Press(f.comboComics, Qt::Key_Up, Qt::AltModifier); // back onto the damaged strip
    EXPECT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(f.comboComics->currentText(), "Beta");
    EXPECT_FALSE(f.comboComics->view()->isVisible());
    test::Press(f.comboComics, Qt::Key_Up);
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    EXPECT_EQ(boxes.Boxes().size(), 2u);
}

TEST_F(Navigation, ADamagedStripIsReportedWhenReachedNotWhenANoticeEnds)
{
    platform::Tunables::NoticeMs = 50;
    folder.AddFile("Beta", "Beta20020204.jpg", "not a jpeg at all");
    app::TForm1& f = Start();
    Key(Qt::Key_Down);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    Key(Qt::Key_Right); // newest: the notice, then the damaged strip again by itself
    EXPECT_TRUE(ShowsNotice(stripsNotice));
    EXPECT_TRUE(test::WaitFor([&] { return !f.NoStripsTimer->Enabled(); }, 30000));
    Key(Qt::Key_Down); // last comic: the notice, ended by a key
    EXPECT_TRUE(ShowsNotice(comicsNotice));
    Key(Qt::Key_Down);
    EXPECT_FALSE(f.NoComicsTimer->Enabled());
    EXPECT_TRUE(test::Shown(f).isNull());
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2002, 2, 4));
    EXPECT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts().join("\n").toStdString();
    Key(Qt::Key_Left); // stepping onto it again is a new attempt
    Key(Qt::Key_Right);
    EXPECT_EQ(boxes.Boxes().size(), 2u);
}

TEST_F(Navigation, AStripWhoseUnreadMarkCannotBeWrittenIsStillShown)
{
    ASSERT_TRUE(QDir().mkpath(folder.Path() + "Comics/Alpha/Alpha.unr")); // cannot be read or replaced
    app::TForm1& f = Start();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_TRUE(boxes.Texts()[0].contains("Alpha.unr")) << boxes.Texts()[0].toStdString();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 3));
    Key(Qt::Key_Left);
    EXPECT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 2));
    f.resize(f.width() + 10, f.height());
    EXPECT_EQ(boxes.Boxes().size(), 2u);
    Key(Qt::Key_Down); // Beta's strips are drawn as ever
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan));
    EXPECT_EQ(boxes.Boxes().size(), 2u);
}

TEST_F(Navigation, UnreadableJpegReportsAnErrorButAGifFailsQuietly)
{
    folder.AddJpeg("Beta", "20020204", QColor(200, 0, 0));
    folder.AddFile("Beta", "Beta20020205.jpg", "not a jpeg at all");
    folder.AddFile("Beta", "Beta20020206.gif", "GIF89a broken");
    app::TForm1& f = Start();
    Key(Qt::Key_Down);
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Beta20020206.gif");
    EXPECT_TRUE(test::Shown(f).isNull());
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2002, 2, 6));
    EXPECT_TRUE(boxes.Texts().isEmpty());

    Key(Qt::Key_Left); // the broken JPEG
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::Error);
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2002, 2, 5));
    EXPECT_TRUE(test::Shown(f).isNull()) << "no earlier strip under the new date";

    f.resize(f.width() + 10, f.height()); // the same failure is not reported again
    f.resize(f.width() + 10, f.height());
    EXPECT_EQ(boxes.Boxes().size(), 1u);

    Key(Qt::Key_Left); // a good JPEG
    const QColor c = test::ShownColour(f);
    EXPECT_NEAR(c.red(), 200, 12);
    EXPECT_LT(c.green() + c.blue(), 30);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(Navigation, AStripNoDecoderKnowsShowsAnEmptyPictureUnderItsDate)
{
    // Names neither ".gif" nor ".jpg", and contents no image reader recognises.
    folder.AddFile("Alpha", "Alpha20010104.GIF", "<html><body>Not found</body></html>");
    folder.AddFile("Alpha", "Alpha20010105.png", "<html><body>Not found</body></html>");
    folder.WriteUnread("Alpha", {"Alpha20010103.gif"});
    app::TForm1& f = Start();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));

    Key(Qt::Key_Right);
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Alpha20010104.GIF");
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 4));
    EXPECT_TRUE(test::Shown(f).isNull()) << "the blue strip under the new date";
    Key(Qt::Key_Right);
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 5));
    EXPECT_TRUE(test::Shown(f).isNull());
    f.resize(f.width() + 10, f.height());
    EXPECT_TRUE(test::Shown(f).isNull());

    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(Navigation, PngAndUpperCaseNamesAreShownByTheirContent)
{
    const auto encoded = [](const QColor& colour, const char* format) {
        QImage image(30, 30, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return bytes;
    };
    folder.AddFile("Alpha", "Alpha20010104.png", encoded(Qt::magenta, "PNG"));
    folder.AddGif("Alpha", "20010105", "yellow");
    ASSERT_TRUE(QFile::rename(folder.Path() + "Comics/Alpha/Alpha20010105.gif",
                              folder.Path() + "Comics/Alpha/Alpha20010105.GIF"));
    folder.AddFile("Alpha", "Alpha20010106.bmp", encoded(Qt::cyan, "BMP"));
    folder.WriteUnread("Alpha", {"Alpha20010103.gif"});
    app::TForm1& f = Start();
    Key(Qt::Key_Right);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::magenta));
    Key(Qt::Key_Right);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::yellow));
    Key(Qt::Key_Right);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2001, 1, 6));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(Navigation, SpaceShowsTheNextUnreadStripAcrossComicsOnceAround)
{
    folder.WriteUnread("Alpha", {"Alpha20010101.gif", "Alpha20010102.gif"});
    folder.WriteUnread("Beta", {"Beta20020202.gif", "Beta20020203.gif", "Nobody20020203.gif"});
    app::TForm1& f = Start();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::red)); // Alpha's first unread strip
    EXPECT_EQ(f.comboComics->itemText(1), "Alpha");   // the text stays the name
    EXPECT_EQ(Mark(0), "plain");
    EXPECT_EQ(Mark(1), "bold, 1 unread strip");
    EXPECT_EQ(Mark(2), "bold, 2 unread strips");
    EXPECT_EQ(f.Unread().Total(), 3);
    EXPECT_EQ(f.TrayIcon1->Hint(), "Panelwick - 3 unread strips");

    // Space goes to the window even while the selector has the focus.
    f.comboComics->setFocus();
    test::Press(f.comboComics, Qt::Key_Space);
    EXPECT_FALSE(f.comboComics->view()->isVisible());
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green)); // the current comic's next unread first
    EXPECT_EQ(Mark(1), "plain");
    test::Press(f.comboComics, Qt::Key_Space);
    EXPECT_EQ(f.comboComics->currentText(), "Beta");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::yellow));
    EXPECT_EQ(Mark(2), "bold, 1 unread strip");
    EXPECT_EQ(f.Unread().Total(), 1);
    EXPECT_EQ(f.TrayIcon1->Hint(), "Panelwick - 1 unread strip");

    // From the last comic the search wraps around, past Gamma, to Alpha.
    Key(Qt::Key_Right); // reading Beta's last unread strip by hand clears its mark too
    EXPECT_EQ(Mark(2), "plain");
    EXPECT_EQ(f.Unread().Total(), 0);
    EXPECT_EQ(f.TrayIcon1->Hint(), "Panelwick");
    folder.WriteUnread("Alpha", {"Alpha20010103.gif"});
    Key(Qt::Key_Space);
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));

    // Nothing unread anywhere: the notice, which Space ends and Left ends and steps past.
    Key(Qt::Key_Space);
    EXPECT_TRUE(ShowsNotice(unreadNotice));
    EXPECT_TRUE(f.NoUnreadTimer->Enabled());
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    Key(Qt::Key_Space);
    EXPECT_FALSE(f.NoUnreadTimer->Enabled());
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    Key(Qt::Key_Space);
    Key(Qt::Key_Left);
    EXPECT_FALSE(f.NoUnreadTimer->Enabled());
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::green));
    // The other notices give way to Space as well.
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    ASSERT_TRUE(ShowsNotice(comicsNotice));
    Key(Qt::Key_Space);
    EXPECT_FALSE(f.NoComicsTimer->Enabled());
    EXPECT_TRUE(ShowsNotice(unreadNotice));
}

TEST_F(Navigation, UnreadNoticeEndsByItself)
{
    platform::Tunables::NoticeMs = 50;
    app::TForm1& f = Start();
    Key(Qt::Key_Space);
    EXPECT_TRUE(ShowsNotice(unreadNotice));
    EXPECT_TRUE(test::WaitFor([&] { return !f.NoUnreadTimer->Enabled(); }, 30000));
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
}

} // namespace

TEST_F(Navigation, AComicFirstShownAfterStartShowsItsNewestStripAsTheFolderHoldsItThen)
{
    app::TForm1& f = Start();
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    folder.AddGif("Beta", "20020204", "magenta"); // stored by another program after the start
    Key(Qt::Key_Down);
    EXPECT_EQ(f.comboComics->currentText(), "Beta");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::magenta));
    EXPECT_EQ(f.lblCurrentDate->text(), Date(2002, 2, 4));
    // A comic shown before comes back with the strip it showed.
    Key(Qt::Key_Up);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::blue));
    Key(Qt::Key_Down);
    Key(Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::cyan));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(Navigation, AStripFileChangedByAnotherProgramIsDrawnAnewAtTheNextRedraw)
{
    app::TForm1& f = Start();
    const QString path = folder.Path() + "Comics/Alpha/Alpha20010103.gif";
    ASSERT_EQ(test::ShownColour(f), QColor(Qt::blue));
    // Drawn again once its file has settled, so that the picture may be kept.
    ASSERT_TRUE(test::WaitFor([&] {
        const auto stamp = platform::FileStamp::Of(QFile::encodeName(path));
        return stamp && stamp->Settled();
    }));
    f.resize(f.width() + 10, f.height());
    ASSERT_TRUE(test::WaitFor([&] { return test::ShownColour(f) == QColor(Qt::blue); }));
    folder.AddGif("Alpha", "20010103", "yellow");
    f.resize(f.width() + 10, f.height());
    EXPECT_TRUE(test::WaitFor([&] { return test::ShownColour(f) == QColor(Qt::yellow); }));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(Navigation, TheProgressButtonsGetTheirIconsOnceTheWindowHasPainted)
{
    app::TForm1& f = Start();
    EXPECT_TRUE(test::WaitFor([&] { return !f.bitbtnAbort->icon().isNull(); }));
    EXPECT_TRUE(test::WaitFor([&] { return !f.bitbtnAdvancedInfo->icon().isNull(); }));
}
