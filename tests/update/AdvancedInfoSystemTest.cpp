#include "update/TAdvancedInfoSystem.h"

#include <gtest/gtest.h>
#include <vector>

using namespace pw::update;

namespace {

QString Comic(const TAdvancedInfoSystem& s, int row)
{
    return s.RowAt(row)[1];
}

} // namespace

TEST(AdvancedInfoSystem, HeaderAndFreeRows)
{
    TAdvancedInfoSystem s;
    EXPECT_EQ(s.RowCount(), 2); // one empty row shows without slots
    EXPECT_EQ(s.RowAt(0), (TAdvancedInfoSystem::Row{"Slots", "Comic", "Action"}));
    EXPECT_EQ(s.RowAt(1), TAdvancedInfoSystem::Row{});
    s.SetSlotCount(3);
    EXPECT_EQ(s.RowCount(), 4);
    EXPECT_EQ(s.RowAt(3), (TAdvancedInfoSystem::Row{"3", "Free", "Idle"}));
}

TEST(AdvancedInfoSystem, FourthJobGetsARowOnlyWhenOneIsFreed)
{
    TAdvancedInfoSystem s;
    s.SetSlotCount(3);
    for (const char* name : {"A", "B", "C", "D"})
        s.AssignSlot(QString::fromLatin1(name));
    EXPECT_EQ(Comic(s, 1), "A");
    EXPECT_EQ(Comic(s, 3), "C");
    EXPECT_EQ(s.RowAt(2)[2], "Contacting host...");
    s.ShowStatus("D", "Looking for a new strip...", 1); // no row: nothing happens
    EXPECT_TRUE(s.Results().isEmpty());

    s.ShowStatus("B", "Looking for a new strip...", 1);
    EXPECT_EQ(s.RowAt(2)[2], "Looking for a new strip...");
    s.ShowStatus("B", "Timed out", 7);
    EXPECT_EQ(s.RowAt(2), (TAdvancedInfoSystem::Row{"2", "Free", "Idle"}));
    EXPECT_EQ(s.Results(), QStringList{"B: Timed out"});
    s.AssignSlot("D");
    EXPECT_EQ(Comic(s, 2), "D");
}

TEST(AdvancedInfoSystem, LoweringSlotsDropsHighRowsAndKeepsOthers)
{
    TAdvancedInfoSystem s;
    s.SetSlotCount(3);
    s.AssignSlot("A");
    s.AssignSlot("B");
    s.AssignSlot("C");
    s.SetSlotCount(1);
    EXPECT_EQ(s.RowCount(), 2);
    EXPECT_EQ(Comic(s, 1), "A");
    // C lost its row: its statuses and result go nowhere, and nothing fails.
    s.ShowStatus("C", "New strip updated", 4);
    EXPECT_TRUE(s.Results().isEmpty());
    // Raising again brings fresh free rows, not the old content.
    s.SetSlotCount(3);
    EXPECT_EQ(s.RowAt(3), (TAdvancedInfoSystem::Row{"3", "Free", "Idle"}));
    EXPECT_EQ(Comic(s, 1), "A");
}

TEST(AdvancedInfoSystem, ANameInTwoRowsIsTheFirstRowsUntilItEnds)
{
    TAdvancedInfoSystem s;
    s.SetSlotCount(3);
    s.AssignSlot("A");
    s.AssignSlot("B");
    s.AssignSlot("A");
    s.ShowStatus("B", "Timed out", 7); // frees row 2
    s.AssignSlot("A");                 // row 2 now also holds A
    s.ShowStatus("A", "Looking for a new strip...", 1);
    EXPECT_EQ(s.RowAt(1)[2], "Looking for a new strip...");
    s.ShowStatus("A", "No updated strip found", 6);
    EXPECT_EQ(Comic(s, 1), "Free");
    s.ShowStatus("A", "Getting strip info...", 2);
    EXPECT_EQ(s.RowAt(2)[2], "Getting strip info...");
    EXPECT_EQ(s.RowAt(3)[2], "Contacting host...");
}

TEST(AdvancedInfoSystem, CallbacksMirrorChanges)
{
    TAdvancedInfoSystem s;
    std::vector<int> changedRows;
    QStringList added;
    bool cleared = false;
    s.OnGridChanged = [&](int row) { changedRows.push_back(row); };
    s.OnResultAdded = [&](const QString& m) { added << m; };
    s.OnResultsCleared = [&] { cleared = true; };
    s.SetSlotCount(2);
    s.AssignSlot("A");
    s.AssignSlot("B");
    s.ShowStatus("B", "No updated strip found", 6);
    EXPECT_EQ(changedRows, (std::vector<int>{TAdvancedInfoSystem::kAllRows, 1, 2, 2}));
    EXPECT_EQ(added, QStringList{"B: No updated strip found"});
    s.ClearResults();
    EXPECT_TRUE(cleared);
    EXPECT_TRUE(s.Results().isEmpty());
}

TEST(AdvancedInfoSystem, ResultColours)
{
    EXPECT_EQ(TAdvancedInfoSystem::ResultColour("A: No updated strip found"), TResultColour::Red);
    EXPECT_EQ(TAdvancedInfoSystem::ResultColour("A: New strip updated"), TResultColour::Blue);
    EXPECT_EQ(TAdvancedInfoSystem::ResultColour("A: Timed out"), TResultColour::Normal);
    EXPECT_EQ(TAdvancedInfoSystem::ResultColour("A: Aborted by user"), TResultColour::Normal);
}
