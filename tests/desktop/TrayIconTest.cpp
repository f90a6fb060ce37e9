#include "TestPaths.h"

#include "desktop/TTrayIcon.h"
#include "platform/MessageTarget.h"

#include <QAction>
#include <QMenu>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <gtest/gtest.h>

using namespace pw;
using namespace pw::desktop;

namespace {

void Pump(int ms)
{
    test::WaitFor([] { return false; }, ms);
}

// A tray icon on a window, with every event written down.
struct Tray : ::testing::Test {
    QWidget window;
    TTrayIcon icon{&window};
    QStringList events;

    void SetUp() override
    {
        auto name = [](TMouseButton b) {
            return QStringList{"left", "right", "middle"}.at(static_cast<int>(b));
        };
        icon.OnMouseDown = [&, name](TMouseButton b, TShiftState s, int, int) {
            events << "down " + name(b) + QString::number(s);
        };
        icon.OnMouseUp = [&, name](TMouseButton b, TShiftState s, int, int) {
            events << "up " + name(b) + QString::number(s);
        };
        icon.OnMouseMove = [&](TShiftState, int, int) { events << "move"; };
        icon.OnClick = [&] { events << "click"; };
        icon.OnDblClick = [&] { events << "dblclick"; };
        icon.Loaded();
    }

    // Delivers the notification area's callbacks as it sends them.
    void Mouse(std::initializer_list<unsigned> messages)
    {
        for (unsigned m : messages)
            icon.CallbackWindow().Post(kTrayCallbackMessage, 1, m);
        Pump(30);
    }
};

TEST_F(Tray, MouseMessagesBecomeEventsInTheirOrder)
{
    const QString left = QString::number(ssLeft);
    Mouse({kLButtonDown, kLButtonUp});
    EXPECT_EQ(events, (QStringList{"down left" + left, "click", "up left" + left}));

    // A double click: the second release is no click.
    events.clear();
    Mouse({kLButtonDown, kLButtonUp, kLButtonDblClk, kLButtonUp});
    EXPECT_EQ(events,
              (QStringList{"down left" + left, "click", "up left" + left, "dblclick", "up left" + left}));

    events.clear();
    Mouse({kMButtonDown, kMButtonUp, kMouseMove});
    EXPECT_EQ(events, (QStringList{"down middle" + QString::number(ssMiddle),
                                   "up middle" + QString::number(ssMiddle), "move"}));

    // Disabled: nothing at all.
    events.clear();
    icon.SetEnabled(false);
    Mouse({kLButtonDown, kLButtonUp, kLButtonDblClk, kRButtonDown, kRButtonUp, kMouseMove});
    EXPECT_TRUE(events.isEmpty()) << events.join(", ").toStdString();
}

TEST_F(Tray, QtActivationsFeedTheSameTable)
{
    emit icon.PlatformIcon().activated(QSystemTrayIcon::Trigger);
    emit icon.PlatformIcon().activated(QSystemTrayIcon::DoubleClick);
    Pump(30);
    const QString left = QString::number(ssLeft);
    EXPECT_EQ(events,
              (QStringList{"down left" + left, "click", "up left" + left, "dblclick", "up left" + left}));
}

TEST_F(Tray, RightButtonShowsTheMenuAndADoubleClickChoosesItsDefaultEntry)
{
    QMenu menu;
    QAction* close = menu.addAction("Close Panelwick");
    int closed = 0;
    QObject::connect(close, &QAction::triggered, [&] { ++closed; });
    icon.SetPopupMenu(&menu);

    Mouse({kRButtonDown});
    EXPECT_EQ(events, QStringList{"down right" + QString::number(ssRight)});
    EXPECT_TRUE(menu.isVisible());
    menu.hide();

    // No default entry (the program's menu): a double click chooses nothing.
    Mouse({kLButtonDblClk});
    EXPECT_EQ(closed, 0);
    menu.setDefaultAction(close);
    Mouse({kLButtonDblClk});
    EXPECT_EQ(closed, 1);
    icon.SetLeftPopup(true);
    Mouse({kLButtonDblClk});
    EXPECT_EQ(closed, 1);
    // A left press pops the menu up as well now.
    Mouse({kLButtonDown});
    EXPECT_TRUE(menu.isVisible());
    menu.hide();

    // A menu that is gone is no longer shown.
    icon.SetLeftPopup(false);
    {
        auto* gone = new QMenu;
        icon.SetPopupMenu(gone);
        delete gone;
    }
    EXPECT_EQ(icon.PopupMenu(), nullptr);
    Mouse({kRButtonDown, kLButtonDblClk});
}

TEST_F(Tray, TheHintReachesTheNotificationAreaCutTo63Characters)
{
    const QString hint = QString(70, QLatin1Char('h'));
    icon.SetHint(hint);
    EXPECT_EQ(icon.PlatformIcon().toolTip(), "") << "ShowHint is off by default";
    icon.SetShowHint(true);
    EXPECT_EQ(icon.PlatformIcon().toolTip(), hint.left(63));
    icon.SetHint("Panelwick");
    EXPECT_EQ(icon.PlatformIcon().toolTip(), "Panelwick");
    // A character outside the basic plane is never cut in half.
    icon.SetHint(QString(62, QLatin1Char('h')) + QString::fromUtf8("\xF0\x9F\x98\x80") + "tail");
    EXPECT_EQ(icon.Tip(), QString(62, QLatin1Char('h')));
    icon.SetShowHint(false);
    EXPECT_EQ(icon.PlatformIcon().toolTip(), "");
}

TEST_F(Tray, CyclingStepsThroughTheIconListOnlyWithAListAndAnInterval)
{
    QList<int> cycled;
    icon.OnCycle = [&](int current) { cycled << current; };
    icon.SetCycleIcons(true); // no list, no interval: nothing ticks
    Pump(50);
    EXPECT_TRUE(cycled.isEmpty());

    QPixmap red(16, 16), blue(16, 16);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    icon.SetCycleInterval(5);
    Pump(30);
    EXPECT_TRUE(cycled.isEmpty()) << "ticks without a list change nothing";
    icon.SetIconList({QIcon(red), QIcon(blue)});
    ASSERT_TRUE(test::WaitFor([&] { return cycled.size() >= 3; }));
    EXPECT_EQ(cycled.mid(0, 3), (QList<int>{0, 1, 0}));
    icon.SetCycleIcons(false);
}

TEST_F(Tray, MinimisingWithoutANotificationAreaKeepsTheWindowOnTheTaskBar)
{
    ASSERT_FALSE(icon.TrayAvailable()); // the offscreen platform has none
    icon.SetMinimizeToTray(true);
    window.show();
    window.setWindowState(Qt::WindowMinimized);
    Pump(50);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());

    icon.RestoreMainWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    icon.HideMainWindow();
    EXPECT_FALSE(window.isVisible());
}

} // namespace
