// The tray icon's objects on a private session bus, called from a connection of its own
// as a panel calls them: every exported method answers every input, in time and without
// warnings.
#include "SessionBus.h"
#include "TestPaths.h"

#include "desktop/StatusNotifierItem.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QMenu>
#include <gtest/gtest.h>

using namespace pw;

namespace {

const QString kMenu = QStringLiteral("com.canonical.dbusmenu");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QStringList warnings;

void Record(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings << text;
}

class PanelCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.Start()) << bus.Error().toStdString();
        // The program's own connection is the session bus; each test runs in its own process.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().toUtf8());
        close = menu.addAction(QStringLiteral("Close Panelwick"));
        menu.addSeparator();
        QAction* check = menu.addAction(QStringLiteral("Check"));
        check->setCheckable(true);
        item.SetMenu(&menu);
        item.Show();
        ASSERT_TRUE(item.Shown());
        program = QDBusConnection::sessionBus().baseService();
        panel = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.Address(), "panel"));
        ASSERT_TRUE(panel->isConnected());
        previous = qInstallMessageHandler(Record);
        warnings.clear();
    }
    void TearDown() override
    {
        qInstallMessageHandler(previous);
        QDBusConnection::disconnectFromBus("panel");
    }

    // One call from the panel's connection; the reply, or the error the bus made when none came.
    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(program, path, interface, method);
        call.setArguments(arguments);
        QDBusPendingCallWatcher watcher(panel->asyncCall(call, 20000));
        test::WaitFor([&] { return watcher.isFinished(); }, 25000);
        return watcher.reply();
    }
    QDBusMessage Menu(const QString& method, const QVariantList& arguments)
    {
        return Call(QStringLiteral("/MenuBar"), kMenu, method, arguments);
    }
    // The value of a GetProperty answer, or the error's name.
    std::string Property(int id, const QString& name)
    {
        const QDBusMessage reply = Menu(QStringLiteral("GetProperty"), {id, name});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return "error " + reply.errorName().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant().toString().toStdString();
    }
    // The id the menu's layout gives "Close Panelwick"; -1 when the layout does not come.
    int CloseId()
    {
        const QDBusMessage reply = Menu(QStringLiteral("GetLayout"), {0, -1, QStringList()});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
            return -1;
        const auto root = qdbus_cast<desktop::MenuLayoutItem>(reply.arguments().at(1));
        for (const desktop::MenuLayoutItem& entry : root.children)
            if (entry.properties.value("label").toString() == "Close Panelwick")
                return entry.id;
        return -1;
    }

    test::SessionBus bus;
    QMenu menu;
    QAction* close = nullptr;
    desktop::StatusNotifierItem item{QStringLiteral("Panelwick")};
    QString program;
    std::unique_ptr<QDBusConnection> panel;
    QtMessageHandler previous = nullptr;
};

TEST_F(PanelCalls, GetPropertyAnswersForMissingPropertiesUnknownEntriesAndTheRoot)
{
    const int id = CloseId();
    ASSERT_GT(id, 0);
    EXPECT_EQ(Property(id, "label"), "Close Panelwick");
    // What an entry lacks has the protocol's default; the root has no label.
    EXPECT_EQ(Property(0, "label"), "");
    EXPECT_EQ(Property(id, "icon-name"), "");
    EXPECT_EQ(Property(id, "type"), "standard");
    EXPECT_EQ(Property(id, "toggle-state"), "-1");
    // An entry or a property that does not exist is an error, not silence.
    EXPECT_EQ(Property(9999, "label"), "error org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(Property(-3, "label"), "error org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(Property(id, "no-such-property"), "error org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(Property(id, ""), "error org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

TEST_F(PanelCalls, EveryMethodOfTheMenuAndTheItemAnswersOddInput)
{
    ASSERT_GT(CloseId(), 0);
    const QDBusVariant data(0);
    const QDBusMessage layout = Menu("GetLayout", {9999, -1, QStringList()});
    EXPECT_EQ(layout.errorName().toStdString(), "org.freedesktop.DBus.Error.InvalidArgs");
    const QList<QDBusMessage> answers{
        Menu("GetLayout", {0, 0, QStringList{"label", "no-such-property"}}),
        Menu("GetLayout", {1, 5, QStringList()}),
        Menu("GetGroupProperties", {QVariant::fromValue(QList<int>{0, 1, 2, 9999}), QStringList{"label"}}),
        Menu("Event", {9999, QStringLiteral("clicked"), QVariant::fromValue(data), 0u}),
        Menu("Event", {0, QStringLiteral("no-such-event"), QVariant::fromValue(data), 0u}),
        Menu("AboutToShow", {9999}),
        Menu("AboutToShowGroup", {QVariant::fromValue(QList<int>{0, 9999})}),
        Call("/MenuBar", kProperties, "GetAll", {kMenu}),
        Call("/StatusNotifierItem", kProperties, "GetAll", {kItem}),
        Call("/StatusNotifierItem", kItem, "Activate", {-1, 1 << 30}),
        Call("/StatusNotifierItem", kItem, "SecondaryActivate", {0, 0}),
        Call("/StatusNotifierItem", kItem, "Scroll", {-120, QStringLiteral("sideways")}),
    };
    for (const QDBusMessage& answer : answers)
        EXPECT_EQ(answer.type(), QDBusMessage::ReplyMessage) << answer.errorMessage().toStdString();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

} // namespace
