#include "TestPaths.h"
#include "platform/IniFile.h"
#include "update/SimDownloads.h"
#include "update/TInfoForm.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;

namespace {

struct FormFixture : ::testing::Test {
    QTemporaryDir dir;
    platform::TIniFile ini{dir.filePath("panelwick.ini")};
    update::TAdvancedInfoSystem system;
    // As the engine sets it up at start, before any window is made.
    FormFixture() { system.SetSlotCount(update::MaxSimDownloads(ini)); }
};

} // namespace

TEST_F(FormFixture, AWindowShowsTheSlotsTheSystemWasSetUpWith)
{
    ini.WriteInteger("Downloads", "MaxSimDownloads", 4);
    system.SetSlotCount(update::MaxSimDownloads(ini));
    update::TInfoForm created(ini, system);
    EXPECT_EQ(created.StringGrid1->rowCount(), 4);
    EXPECT_EQ(created.StringGrid1->horizontalHeaderItem(1)->text(), "Comic");
    EXPECT_EQ(created.StringGrid1->item(3, 1)->text(), "Free");
    EXPECT_EQ(created.windowTitle(), "Advanced Info");
    EXPECT_FALSE(created.IsShowing());
}

TEST_F(FormFixture, GridAndListFollowTheSystem)
{
    update::TInfoForm form(ini, system);
    auto& s = form.AdvancedInfoSystem();
    s.AssignSlot("Alpha");
    EXPECT_EQ(form.StringGrid1->item(0, 1)->text(), "Alpha");
    EXPECT_EQ(form.StringGrid1->item(0, 2)->text(), "Contacting host...");
    s.ShowStatus("Alpha", "New strip updated", 4);
    EXPECT_EQ(form.StringGrid1->item(0, 1)->text(), "Free");
    ASSERT_EQ(form.ListBox1->count(), 1);
    EXPECT_EQ(form.ListBox1->item(0)->text(), "Alpha: New strip updated");
    // Rows other than the job's own are left as they are.
    s.SetSlotCount(3);
    s.AssignSlot("Beta");
    s.AssignSlot("Gamma");
    form.StringGrid1->item(0, 2)->setText("touched"); // Beta's row
    s.ShowStatus("Alpha", "ignored", 1);              // no row
    s.ShowStatus("Gamma", "Looking for a new strip...", 1);
    EXPECT_EQ(form.StringGrid1->item(0, 2)->text(), "touched");
    EXPECT_EQ(form.StringGrid1->item(1, 2)->text(), "Looking for a new strip...");
    s.SetSlotCount(1);
    EXPECT_EQ(form.StringGrid1->rowCount(), 1);
    // No cell can be selected.
    form.StringGrid1->setCurrentCell(0, 1);
    EXPECT_TRUE(form.StringGrid1->selectedItems().isEmpty());
}

TEST_F(FormFixture, WindowMadeLateShowsWhatTheSystemAlreadyHolds)
{
    // The window is made when first shown, after updates have filled slots and results.
    system.SetSlotCount(2);
    system.ClearResults();
    system.AssignSlot("Alpha");
    system.AssignSlot("Beta");
    system.ShowStatus("Alpha", "New strip updated", 4);
    update::TInfoForm form(ini, system);
    ASSERT_EQ(form.StringGrid1->rowCount(), 2) << "the slots stay as they are, not the configured 3";
    EXPECT_EQ(form.StringGrid1->horizontalHeaderItem(1)->text(), "Comic");
    EXPECT_EQ(form.StringGrid1->item(0, 1)->text(), "Free");
    EXPECT_EQ(form.StringGrid1->item(1, 1)->text(), "Beta");
    ASSERT_EQ(form.ListBox1->count(), 1);
    EXPECT_EQ(form.ListBox1->item(0)->text(), "Alpha: New strip updated");
    // From then on it follows the system.
    system.ShowStatus("Beta", "Looking for a new strip...", 1);
    EXPECT_EQ(form.StringGrid1->item(1, 2)->text(), "Looking for a new strip...");
    system.ShowStatus("Beta", "No updated strip found", 6);
    ASSERT_EQ(form.ListBox1->count(), 2);
    EXPECT_EQ(form.ListBox1->item(1)->text(), "Beta: No updated strip found");
    EXPECT_FALSE(form.IsShowing());
}

TEST_F(FormFixture, ResultListKeepsTheNewestMessagesOfAVeryLargeUpdate)
{
    update::TInfoForm form(ini, system);
    auto& s = form.AdvancedInfoSystem();
    s.SetSlotCount(1);
    const int n = update::TAdvancedInfoSystem::kMaxResults + 3;
    for (int i = 0; i < n; ++i) {
        const QString name = QStringLiteral("C%1").arg(i);
        s.AssignSlot(name);
        s.ShowStatus(name, QStringLiteral("No updated strip found"), 6);
    }
    const int kept = update::TAdvancedInfoSystem::kMaxResults;
    ASSERT_EQ(s.Results().size(), kept);
    ASSERT_EQ(form.ListBox1->count(), kept);
    EXPECT_EQ(s.Results().front(), "C3: No updated strip found");
    EXPECT_EQ(form.ListBox1->item(0)->text(), "C3: No updated strip found");
    const QString last = QStringLiteral("C%1: No updated strip found").arg(n - 1);
    EXPECT_EQ(s.Results().back(), last);
    EXPECT_EQ(form.ListBox1->item(kept - 1)->text(), last);
    // The list scrolls to its end once the loop runs.
    form.show();
    const QScrollBar* bar = form.ListBox1->verticalScrollBar();
    EXPECT_TRUE(test::WaitFor([&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }))
        << bar->value() << " of " << bar->maximum();
}

TEST_F(FormFixture, GeometryIsSavedOnCloseAndRestoredOnShow)
{
    {
        update::TInfoForm form(ini, system);
        form.Toggle();
        EXPECT_TRUE(form.IsShowing());
        form.setGeometry(100, 120, 400, 500);
        form.StringGrid1->setColumnWidth(0, 44);
        form.StringGrid1->setColumnWidth(1, 150);
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_FALSE(form.IsShowing());
    }
    EXPECT_EQ(ini.ReadInteger("AdvancedInfo", "Width", 0), 400);
    EXPECT_EQ(ini.ReadInteger("AdvancedInfo", "Height", 0), 500);
    EXPECT_EQ(ini.ReadInteger("AdvancedInfo", "XPos", 0), 100);
    EXPECT_EQ(ini.ReadInteger("AdvancedInfo", "YPos", 0), 120);
    EXPECT_EQ(ini.ReadInteger("AdvancedInfo", "SlotCol", 0), 44);
    EXPECT_EQ(ini.ReadInteger("AdvancedInfo", "ComicCol", 0), 150);
    EXPECT_GT(ini.ReadInteger("AdvancedInfo", "SplitPos", 0), 0);

    ini.WriteInteger("AdvancedInfo", "SplitPos", 200);
    update::TInfoForm again(ini, system);
    again.Toggle();
    EXPECT_EQ(again.width(), 400);
    EXPECT_EQ(again.height(), 500);
    EXPECT_EQ(again.StringGrid1->columnWidth(0), 44);
    EXPECT_EQ(again.Splitter->sizes().value(0), 200);
    // The last column takes what the first two leave.
    EXPECT_EQ(again.StringGrid1->columnWidth(2), std::max(again.StringGrid1->width() - 44 - 150 - 5, 20));
    again.Toggle();
    EXPECT_FALSE(again.IsShowing());
}

TEST_F(FormFixture, NewestResultStandsOnTheTopLineOnceTheListIsFull)
{
    update::TInfoForm form(ini, system);
    form.Toggle();
    form.resize(300, 600);
    form.Splitter->setSizes({200, 400});
    auto& s = form.AdvancedInfoSystem();
    const QScrollBar* bar = form.ListBox1->verticalScrollBar();
    const auto add = [&](int i) {
        const QString name = QStringLiteral("C%1").arg(i);
        s.AssignSlot(name);
        s.ShowStatus(name, "No updated strip found", 6);
        QCoreApplication::sendPostedEvents(); // the scroll booked for the loop's next turn
        return name + ": No updated strip found";
    };
    const auto topLine = [&] { return form.ListBox1->indexAt(QPoint(4, 2)).data().toString(); };
    const QString first = add(0);
    const int fit = form.ListBox1->viewport()->height() / form.ListBox1->sizeHintForRow(0);
    ASSERT_GT(fit, 2);
    // While every message fits, nothing scrolls and no scroll bar is asked for: a bar for
    // a list that fits narrows it, which lays it out again, for ever.
    for (int i = 1; i < fit; ++i) {
        add(i);
        EXPECT_EQ(topLine(), first) << i;
        EXPECT_EQ(bar->maximum(), 0) << i;
    }
    // Then the newest is the first line read, the earlier ones above it.
    // Added before the top line is read: the order of a call's arguments is the compiler's.
    for (int i = fit; i < fit + 4; ++i) {
        const QString newest = add(i);
        EXPECT_EQ(topLine(), newest) << i;
    }
    EXPECT_EQ(form.ListBox1->item(0)->text(), first);
    form.Toggle();
}

TEST_F(FormFixture, ShownWindowHasBoldCaptionsAndTheDarkHeader)
{
    update::TInfoForm form(ini, system);
    form.Toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    int bold = 0;
    for (const auto* label : form.findChildren<QLabel*>()) {
        if (label->text() == "Result Messages:" || label->text() == "Updates:") {
            EXPECT_TRUE(label->font().bold()) << label->text().toStdString();
            ++bold;
        }
    }
    EXPECT_EQ(bold, 2);
    // The header sections are shaded from the grid's dark colour, not from the button colour.
    auto* header = form.StringGrid1->horizontalHeader();
    const QImage shot = header->grab().toImage();
    const QColor dark = form.StringGrid1->palette().color(QPalette::Dark);
    ASSERT_FALSE(shot.isNull());
    double total = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            total += qGray(shot.pixel(x, y));
    EXPECT_NEAR(total / (shot.width() * shot.height()), qGray(dark.rgb()), 16);
    form.Toggle();
}
