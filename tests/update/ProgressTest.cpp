#include "update/IProgressDisplay.h"
#include "update/TDownloadProgress.h"

#include <gtest/gtest.h>

using namespace pw::update;

namespace {

struct FakeDisplay : IProgressDisplay {
    int max = -1;
    int position = -1;
    QString text = QStringLiteral("stale");
    void SetProgressMaximum(int m) override { max = m; }
    void SetProgressPosition(int p) override { position = p; }
    void SetProgressText(const QString& t) override { text = t; }
    QString ProgressText() const override { return text; }
};

struct Batch {
    FakeDisplay display;
    int running = 0;
    int queued = 0;
    TDownloadProgress progress{display, [this] { return running; }, [this] { return queued; }};
};

} // namespace

TEST(DownloadProgress, StartsEmptyWithoutSummary)
{
    Batch b;
    EXPECT_EQ(b.display.text, QString());
    EXPECT_EQ(b.display.position, 0);
}

TEST(DownloadProgress, QuarterComicsAndLabel)
{
    Batch b;
    for (int i = 0; i < 5; ++i)
        b.progress.AddComic();
    EXPECT_EQ(b.display.max, 20);
    EXPECT_EQ(b.display.text, "0 of 5 comics done.");

    // Three running (states 1, 3, 0), two waiting.
    b.running = 3;
    b.queued = 2;
    for (int state : {1, 3, 0})
        b.progress.JobMoved(-1, state);
    b.progress.Update(-1);
    EXPECT_EQ(b.display.position, 4);
    EXPECT_EQ(b.display.text, "0 of 5 comics done.");

    // Two finished: one new strip, one unchanged; one moved on, one of the waiting started;
    // a side state counts as no progress.
    b.progress.JobMoved(1, -1);
    b.progress.JobMoved(3, -1);
    b.progress.JobMoved(0, 2);
    b.progress.JobMoved(-1, -3);
    b.running = 2;
    b.queued = 1;
    b.progress.Update(4);
    b.progress.Update(6);
    EXPECT_EQ(b.display.position, 2 + 0 + 2 * 4);
    EXPECT_EQ(b.display.text, "2 of 5 comics done.");
}

TEST(DownloadProgress, SummaryAfterBatchThenReset)
{
    Batch b;
    for (int i = 0; i < 5; ++i)
        b.progress.AddComic();
    b.queued = 0;
    b.running = 0;
    for (int result : {4, 4, 6, 6, 5})
        b.progress.Update(result);
    EXPECT_EQ(b.progress.Failed(), 1);
    b.progress.Finish();
    EXPECT_EQ(b.display.text, "2 updated, 2 didn't need a update, 1 failed.");
    EXPECT_EQ(b.display.position, 0);
    EXPECT_EQ(b.progress.Total(), 0);

    // The next batch counts from zero.
    b.progress.AddComic();
    EXPECT_EQ(b.display.text, "0 of 1 comics done.");
    EXPECT_EQ(b.display.max, 4);
}

TEST(DownloadProgress, QueuedJobsDroppedByAbortCountAsFailed)
{
    Batch b;
    for (int i = 0; i < 4; ++i)
        b.progress.AddComic();
    b.progress.Update(4);
    b.progress.Finish();
    EXPECT_EQ(b.display.text, "1 updated, 0 didn't need a update, 3 failed.");
}
