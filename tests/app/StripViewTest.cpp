// The strip area in the real window: every pixel of a large strip can be reached, the zoom
// of the View menu, Home and End, and the strip's words.
#include "AppFixture.h"
#include "MessageBoxRecorder.h"
#include "TestPaths.h"

#include "app/StripPicture.h"
#include "app/StripView.h"
#include "app/TStartup.h"
#include "app/TForm1.h"
#include "comics/StripWordsFile.h"
#include "imaging/TGifDecoder.h"
#include "platform/DesktopShell.h"
#include "platform/Timer.h"
#include "platform/Tunables.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;
using pw::test::MessageBoxRecorder;
using pw::test::ProgramFolder;

namespace {

// A strip with a red band at its start and a blue band at its end, grey between: the
// bands lie along its longer side.
QByteArray BandedPng(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    const bool tall = h >= w;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int along = tall ? y : x;
            const int length = tall ? h : w;
            if (along < 60)
                image.setPixel(x, y, qRgb(255, 0, 0));
            else if (along >= length - 60)
                image.setPixel(x, y, qRgb(0, 0, 255));
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

int CountColour(const QImage& shot, QRgb colour)
{
    const QImage image = shot.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            n += (line[x] & 0xffffff) == (colour & 0xffffff);
    }
    return n;
}

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

class StripArea : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Tunables::NoticeMs = 60000;
        folder.WriteCatalogue("Tall\thttp://x/t/\r\nWide\thttp://x/w/\r\nSmall\thttp://x/s/\r\n");
        folder.AddFile("Tall", "Tall20010101.png", BandedPng(300, 2000));
        folder.AddFile("Tall", "Tall20010102.png", BandedPng(1200, 3000));
        folder.AddFile("Tall", "Tall20010103.png", BandedPng(250, 1500));
        folder.AddFile("Wide", "Wide20020202.png", BandedPng(2000, 200));
        folder.AddGif("Small", "20030303", "red", 40, 20);
        folder.WriteIni("[Comics]\r\nTall=1\r\nWide=1\r\nSmall=1\r\nCurrentComic=Tall\r\n"
                        "[Updates]\r\nUpdateProgramStart=0\r\n");
        folder.WriteUnread("Tall", {"Tall20010101.png"});
    }
    void TearDown() override
    {
        platform::Tunables::NoticeMs = 3000;
        platform::DesktopShell::Opener = nullptr;
    }

    app::TForm1& Start()
    {
        startup.reset();
        startup = std::make_unique<test::TestProgram>();
        EXPECT_TRUE(startup->Start(folder.Options()));
        form().resize(630, 470);
        form().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form()));
        return form();
    }
    app::TForm1& form() { return startup->form; }
    void Key(int key, Qt::KeyboardModifiers m = Qt::NoModifier) { test::Press(&form(), key, m); }
    // What the strip area shows, as the user sees it.
    QImage Area() { return form().centralWidget()->grab().toImage(); }
    QWidget* UnderAreaCentre()
    {
        QWidget* c = form().centralWidget();
        return c->childAt(c->width() / 2, c->height() / 2 + 20);
    }
    // Where a wheel turned over the strip ends up: Qt hands a wheel event the picture
    // ignores to the widget holding it only when it comes from the window system.
    QWidget* WheelTarget() { return UnderAreaCentre()->parentWidget(); }
    void Wheel(QWidget* target, int delta, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, m,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }
    QScrollBar* Vertical() { return form().scrollStrip->verticalScrollBar(); }
    QScrollBar* Horizontal() { return form().scrollStrip->horizontalScrollBar(); }

    MessageBoxRecorder boxes;
    ProgramFolder folder;
    std::unique_ptr<test::TestProgram> startup;
};

// Up to `tries` presses of whatever `step` does, until `done`: the steps needed depend on
// the platform's page and wheel sizes, not on time.
template <class Step, class Done> bool StepUntil(Step step, Done done, int tries = 60)
{
    for (int i = 0; i < tries && !done(); ++i)
        step();
    return done();
}

// Uses only what the window had before it scrolled, so that it shows the cut-off strip.
TEST_F(StripArea, TheBottomOfATallStripIsReachedByPageDownAndTheWheel)
{
    app::TForm1& f = Start();
    ASSERT_EQ(f.Image1->picture().height(), 2000);
    EXPECT_GT(CountColour(Area(), kRed), 1000) << "a new strip starts at its top";
    EXPECT_EQ(CountColour(Area(), kBlue), 0);
    EXPECT_TRUE(StepUntil([&] { Key(Qt::Key_PageDown); }, [&] { return CountColour(Area(), kBlue) > 1000; }))
        << "Page Down never shows the bottom of the strip";
    EXPECT_TRUE(StepUntil([&] { Key(Qt::Key_PageUp); }, [&] { return CountColour(Area(), kRed) > 1000; }));
    EXPECT_TRUE(StepUntil([&] { Wheel(WheelTarget(), -120); },
                          [&] { return CountColour(Area(), kBlue) > 1000; }, 200))
        << "the wheel never shows the bottom of the strip";
}

TEST_F(StripArea, EveryPartOfALargeStripIsReachedByKeysWheelAndDragging)
{
    app::TForm1& f = Start();
    ASSERT_EQ(f.Image1->picture().height(), 2000);
    EXPECT_GT(CountColour(Area(), kRed), 1000) << "a new strip starts at its top";
    EXPECT_EQ(CountColour(Area(), kBlue), 0);

    EXPECT_TRUE(StepUntil([&] { Key(Qt::Key_PageDown); }, [&] { return CountColour(Area(), kBlue) > 1000; }))
        << "Page Down never shows the bottom of the strip";
    EXPECT_EQ(CountColour(Area(), kRed), 0);
    const int comic = f.comboComics->currentIndex();
    EXPECT_TRUE(StepUntil([&] { Key(Qt::Key_PageUp); }, [&] { return CountColour(Area(), kRed) > 1000; }));
    EXPECT_EQ(f.comboComics->currentIndex(), comic) << "the page keys reached the comic selector";

    EXPECT_TRUE(StepUntil([&] { Wheel(WheelTarget(), -120); },
                          [&] { return CountColour(Area(), kBlue) > 1000; }, 200))
        << "the wheel never shows the bottom of the strip";

    // The next strip starts at its top again; narrower than the area, it stays centred.
    Key(Qt::Key_Right);
    ASSERT_EQ(f.Image1->picture().width(), 1200);
    Key(Qt::Key_Right);
    ASSERT_EQ(f.Image1->picture().width(), 250);
    EXPECT_EQ(Vertical()->value(), 0);
    EXPECT_GT(CountColour(Area(), kRed), 1000);
    const QRect shown = f.Image1->PictureRect();
    EXPECT_NEAR(shown.center().x(), f.scrollStrip->viewport()->width() / 2, 1);

    // Across: Shift with the wheel, and dragging with the left button.
    Key(Qt::Key_Down);
    ASSERT_EQ(f.Image1->picture().width(), 2000);
    EXPECT_TRUE(StepUntil([&] { Wheel(WheelTarget(), -120, Qt::ShiftModifier); },
                          [&] { return CountColour(Area(), kBlue) > 1000; }, 200))
        << "Shift with the wheel does not scroll across";
    EXPECT_EQ(Vertical()->value(), 0);
    QWidget* picture = UnderAreaCentre();
    ASSERT_EQ(picture, f.Image1);
    const QPoint from = picture->rect().center();
    const QPoint global = picture->mapToGlobal(from);
    QMouseEvent press(QEvent::MouseButtonPress, from, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &press);
    int moved = 0;
    EXPECT_TRUE(StepUntil(
        [&] {
            moved += 100;
            QMouseEvent move(QEvent::MouseMove, from, global + QPoint(moved, 0), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(picture, &move);
        },
        [&] { return CountColour(Area(), kRed) > 1000; }, 40))
        << "dragging does not move the strip";

    // A strip smaller than the area looks as it always did: natural size, centred, on white.
    Key(Qt::Key_Down);
    ASSERT_EQ(f.Image1->picture().width(), 40);
    EXPECT_FALSE(Vertical()->isVisible());
    EXPECT_FALSE(Horizontal()->isVisible());
    const QImage area = f.scrollStrip->viewport()->grab().toImage();
    EXPECT_EQ(CountColour(area, kRed), 40 * 20);
    EXPECT_EQ(area.pixelColor(area.width() / 2, area.height() / 2), QColor(Qt::red));
    EXPECT_EQ(area.pixelColor(area.width() / 2 - 25, area.height() / 2), QColor(Qt::white));
    EXPECT_EQ(area.pixelColor(area.width() / 2, area.height() / 2 + 15), QColor(Qt::white));
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("; ").toStdString();
}

TEST_F(StripArea, ZoomIsChosenInTheViewMenuKeptForEveryStripAndRemembered)
{
    app::TForm1& f = Start();
    EXPECT_TRUE(f.ActualSize1->isChecked());

    Key(Qt::Key_F); // the whole strip, scaled down
    EXPECT_TRUE(f.FitToWindow1->isChecked());
    EXPECT_FALSE(f.ActualSize1->isChecked());
    EXPECT_GT(CountColour(Area(), kRed), 500);
    EXPECT_GT(CountColour(Area(), kBlue), 500);
    EXPECT_FALSE(Vertical()->isVisible());
    EXPECT_LE(f.Image1->ScaledSize().height(), f.scrollStrip->viewport()->height());
    EXPECT_TRUE(folder.ReadIni().contains("[View]\r\nZoom=FitToWindow\r\n"));
    // Fit never enlarges a small strip.
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    ASSERT_EQ(f.Image1->picture().width(), 40);
    EXPECT_EQ(f.Image1->ScaledSize(), QSize(40, 20));
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);

    Key(Qt::Key_Right); // 1200 x 3000: as wide as the area, scrolling down
    ASSERT_EQ(f.Image1->picture().width(), 1200);
    EXPECT_TRUE(f.FitToWindow1->isChecked()) << "the zoom stays from strip to strip";
    Key(Qt::Key_W);
    EXPECT_TRUE(f.FitWidth1->isChecked());
    EXPECT_TRUE(Vertical()->isVisible());
    EXPECT_FALSE(Horizontal()->isVisible());
    EXPECT_EQ(f.Image1->ScaledSize().width(), f.scrollStrip->viewport()->width());
    EXPECT_TRUE(StepUntil([&] { Key(Qt::Key_PageDown); }, [&] { return CountColour(Area(), kBlue) > 1000; }));

    Key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_TRUE(f.ActualSize1->isChecked());
    EXPECT_EQ(f.Image1->ScaledSize(), QSize(1200, 3000));
    Key(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(f.Image1->ScaledSize(), QSize(1500, 3750));
    EXPECT_FALSE(f.ActualSize1->isChecked());
    EXPECT_TRUE(folder.ReadIni().contains("Zoom=125\r\n"));
    Key(Qt::Key_Minus, Qt::ControlModifier);
    Key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(f.Image1->ScaledSize(), QSize(900, 2250));
    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(f.Image1->ScaledSize(), QSize(300, 750)) << "25 % is the smallest step";
    EXPECT_FALSE(f.ZoomOut1->isEnabled());
    EXPECT_TRUE(f.ZoomIn1->isEnabled());
    // The picture itself is what printing, the clipboard and the wallpaper take.
    EXPECT_EQ(f.ShownPicture().size(), QSize(1200, 3000));

    Key(Qt::Key_F);
    startup.reset();
    Start();
    EXPECT_TRUE(form().FitToWindow1->isChecked()) << "the zoom is not remembered";
    EXPECT_LE(form().Image1->ScaledSize().height(), form().scrollStrip->viewport()->height());
}

TEST_F(StripArea, HomeAndEndShowTheFirstAndNewestStrip)
{
    app::TForm1& f = Start();
    const int comic = f.comboComics->currentIndex();
    ASSERT_EQ(f.Image1->picture().width(), 300); // the unread first strip
    Key(Qt::Key_End);
    EXPECT_EQ(f.Image1->picture().width(), 250);
    Key(Qt::Key_End); // already the newest: the end-of-strips notice
    EXPECT_TRUE(f.NoStripsTimer->Enabled());
    Key(Qt::Key_Home); // ends the notice only
    EXPECT_FALSE(f.NoStripsTimer->Enabled());
    EXPECT_EQ(f.Image1->picture().width(), 250);
    Key(Qt::Key_Home);
    EXPECT_EQ(f.Image1->picture().width(), 300);
    EXPECT_EQ(f.comboComics->currentIndex(), comic) << "Home or End reached the comic selector";

    // A notice does not lose the reader's place in a long strip.
    EXPECT_TRUE(StepUntil([&] { Key(Qt::Key_PageDown); }, [&] { return CountColour(Area(), kBlue) > 1000; }));
    Key(Qt::Key_Home); // already the first: the notice
    EXPECT_TRUE(f.NoStripsTimer->Enabled());
    Key(Qt::Key_Home); // the strip comes back
    EXPECT_GT(CountColour(Area(), kBlue), 1000) << "the strip came back at its top";
}

TEST_F(StripArea, AStripsWordsAreShownAndItsPageOpened)
{
    comics::StripWords words;
    words.Title = "Rain";
    words.TitleText = "It has rained for forty days, and the forecast says it will rain for forty more.";
    words.Page = "https://comics.example/tall/rain";
    ASSERT_TRUE(comics::StripWordsFile::Store(folder.Path() + "Comics/Tall", "Tall20010103.png", words));
    app::TForm1& f = Start();
    // The first strip has no words: date only, nothing below it, no page to open.
    EXPECT_FALSE(f.lblCurrentDate->text().contains(QChar(0x2013)));
    EXPECT_FALSE(f.lblTitleText->isVisible());
    EXPECT_FALSE(f.OpenStripPage1->isEnabled());
    EXPECT_FALSE(f.CopyStripPageAddress2->isEnabled());

    Key(Qt::Key_End);
    EXPECT_TRUE(f.lblCurrentDate->text().endsWith(QStringLiteral(" \u2013 Rain")));
    EXPECT_EQ(f.Image1->toolTip(), words.TitleText);
    EXPECT_EQ(f.Image1->accessibleName(), "Rain");
    EXPECT_EQ(f.Image1->accessibleDescription(), words.TitleText);
    EXPECT_TRUE(f.lblTitleText->isVisible());
    EXPECT_EQ(f.lblTitleText->text(), words.TitleText);
    QStringList opened;
    platform::DesktopShell::Opener = [&](const QString& what) { opened << what; };
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opened, QStringList{words.Page});
    f.CopyStripPageAddress2->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), words.Page);

    f.ShowTitleText1->trigger(); // off, and remembered
    EXPECT_FALSE(f.lblTitleText->isVisible());
    EXPECT_EQ(f.Image1->toolTip(), words.TitleText) << "the tooltip stays";
    EXPECT_TRUE(folder.ReadIni().contains("ShowTitleText=0\r\n"));
    Start();
    Key(Qt::Key_End);
    EXPECT_FALSE(form().ShowTitleText1->isChecked());
    EXPECT_FALSE(form().lblTitleText->isVisible());
    EXPECT_TRUE(form().lblCurrentDate->text().endsWith(QStringLiteral(" \u2013 Rain")));
}

} // namespace

// A GIF strip is held with its own 256 colours: the strip area paints them as they are
// at every zoom, and the clipboard gets the picture in full colour.
TEST(GifStripArea, PaintsTheSameColoursAtEveryZoomAndCopiesThem)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    QFile gif(test::FixturePath(QStringLiteral("images/quadrants.gif"))); // 40 x 30, four colours
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    folder.WriteCatalogue("Quad\thttp://x/q/\r\n");
    folder.AddFile("Quad", "Quad20040404.gif", gif.readAll());
    folder.WriteIni("[Comics]\r\nQuad=1\r\nCurrentComic=Quad\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    app::TStartup program; // the real one: the clipboard is its desktop part's
    ASSERT_TRUE(program.Start(folder.Options()));
    app::TForm1& f = program.MainWindow();
    f.resize(630, 470);
    ASSERT_EQ(f.Image1->picture().size(), QSize(40, 30));
    EXPECT_EQ(f.Image1->picture().format(), QImage::Format_Indexed8);

    constexpr QRgb kGreen = qRgb(0, 255, 0);
    constexpr QRgb kYellow = qRgb(255, 255, 0);
    const auto area = [&] { return f.scrollStrip->viewport()->grab().toImage(); };
    // Actual size: every picture pixel once, in its quadrant.
    QImage shot = area();
    for (const QRgb colour : {kRed, kGreen, kBlue, kYellow})
        EXPECT_EQ(CountColour(shot, colour), 20 * 15) << std::hex << colour;
    const QRect at = f.Image1->PictureRect();
    const QPoint origin = f.Image1->mapTo(f.scrollStrip->viewport(), at.topLeft());
    EXPECT_EQ(shot.pixel(origin + QPoint(2, 2)) & 0xffffff, kRed & 0xffffff);
    EXPECT_EQ(shot.pixel(origin + QPoint(37, 27)) & 0xffffff, kYellow & 0xffffff);
    EXPECT_EQ(shot.pixel(origin + QPoint(-2, 2)) & 0xffffff, 0xffffffu) << "the ground stays white";

    // 150 %: a smooth copy; whole colours stay inside each quadrant.
    f.ZoomIn1->trigger();
    f.ZoomIn1->trigger();
    ASSERT_EQ(f.Image1->ScaledSize(), QSize(60, 45));
    shot = area();
    for (const QRgb colour : {kRed, kGreen, kBlue, kYellow})
        EXPECT_GT(CountColour(shot, colour), 28 * 20) << std::hex << colour;
    // 200 %: each picture pixel a square of four.
    f.ZoomIn1->trigger();
    f.ZoomIn1->trigger();
    ASSERT_EQ(f.Image1->ScaledSize(), QSize(80, 60));
    shot = area();
    for (const QRgb colour : {kRed, kGreen, kBlue, kYellow})
        EXPECT_EQ(CountColour(shot, colour), 40 * 30) << std::hex << colour;

    // The clipboard and printing get the same colours, 32 bits a pixel as ever.
    f.CopyCurrentStrip1->trigger();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.format(), QImage::Format_RGB32);
    EXPECT_TRUE(test::SameImage(
        copied, imaging::TGifDecoder::GetGIFFile(folder.Path() + "Comics/Quad/Quad20040404.gif")));
    EXPECT_EQ(copied.pixel(39, 0), kGreen);
    EXPECT_EQ(f.ShownPicture().format(), QImage::Format_RGB32);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("; ").toStdString();
}
