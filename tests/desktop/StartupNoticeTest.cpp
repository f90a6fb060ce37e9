// The launcher's startup id: the click time it carries and the message that ends its
// busy feedback, as a launcher reassembles it.
#include "desktop/StartupNotice.h"

#include <gtest/gtest.h>

using pw::desktop::StartupNotice;

TEST(StartupNotice, ClickTimeAndRemoveMessageAsTheLauncherReadsThem)
{
    EXPECT_EQ(StartupNotice::ClickTime("openbox/panelwick/4321-0-host_TIME123456789"), 123456789u);
    EXPECT_EQ(StartupNotice::ClickTime("gnome-shell/Panelwick/2-3-host_TIME4294967295"), 4294967295u);
    for (const QByteArray& none : {QByteArray(), QByteArray("no-time"), QByteArray("x_TIME"),
                                   QByteArray("x_TIME12ab"), QByteArray("x_TIME4294967296")})
        EXPECT_FALSE(StartupNotice::ClickTime(none)) << none.data();

    // Pieces of 20 bytes; joined they give the quoted id up to its NUL, whatever its length.
    for (const QByteArray& id : {QByteArray("a"), QByteArray("launcher/panelwick/1-2-h_TIME7"),
                                 QByteArray("with blank \"quote\" and \\ backslash"), QByteArray(7, 'x')}) {
        const QByteArrayList pieces = StartupNotice::RemoveMessagePieces(id);
        QByteArray joined;
        for (const QByteArray& piece : pieces) {
            ASSERT_EQ(piece.size(), 20);
            joined += piece;
        }
        const qsizetype end = joined.indexOf('\0');
        ASSERT_GE(end, 0);
        EXPECT_LT(joined.size() - end, 21); // no piece of NULs only
        QByteArray expected =
            "remove: ID=\"" + QByteArray(id).replace("\\", "\\\\").replace("\"", "\\\"") + "\"";
        EXPECT_EQ(joined.left(end), expected);
    }
}
