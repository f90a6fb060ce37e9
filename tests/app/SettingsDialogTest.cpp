#include "AppFixture.h"
#include "MessageBoxRecorder.h"
#include "TestPaths.h"

#include "app/TForm1.h"
#include "app/TfrmEditComic.h"
#include "app/TfrmSettings.h"
#include "app/TimeOfDayText.h"
#include "comics/TComicInfo.h"
#include "comics/TComicsList.h"
#include "platform/IniFile.h"
#include "platform/Tunables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <functional>
#include <gtest/gtest.h>

using namespace pw;
using pw::test::MessageBoxRecorder;
using pw::test::ProgramFolder;

namespace {

QStringList Items(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

void Select(QListWidget* list, const QStringList& names)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(names.contains(list->item(i)->text()));
}

// The keys of the configuration file in file order, "Section/Key=value".
QStringList Keys(const QString& ini)
{
    QStringList keys;
    QString section;
    for (const QString& line : ini.split(QRegularExpression("\r\n|\n"), Qt::SkipEmptyParts)) {
        if (line.startsWith('['))
            section = line.mid(1, line.size() - 2);
        else
            keys << section + "/" + line;
    }
    return keys;
}

class SettingsDialog : public ::testing::Test {
protected:
    void Open(const QByteArray& iniText, const QStringList& catalogue)
    {
        if (!iniText.isNull())
            folder.WriteIni(iniText);
        ini = std::make_unique<platform::TIniFile>(folder.IniPath());
        for (const QString& name : catalogue)
            all.AddOwned(std::make_unique<comics::TComicInfo>(name, "http://x/" + name));
        all.SplitChosen(*ini, toGet, notToGet);
        log = std::make_shared<test::HookLog>();
        desktop = std::make_unique<test::RecordingDesktop>(log);
        dlg = std::make_unique<app::TfrmSettings>(*ini, toGet, notToGet,
                                                  [this]() -> app::TDesktopIntegration& { return *desktop; });
        dlg->show();
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    }
    void TearDown() override
    {
        platform::Tunables::Now = [] { return QDateTime::currentDateTime(); };
    }

    MessageBoxRecorder boxes;
    ProgramFolder folder;
    std::unique_ptr<platform::TIniFile> ini;
    comics::TComicsList all, toGet, notToGet;
    std::shared_ptr<test::HookLog> log;
    std::unique_ptr<test::RecordingDesktop> desktop;
    std::unique_ptr<app::TfrmSettings> dlg;
};

TEST_F(SettingsDialog, FillsFromTheConfigurationFileAtEveryShowing)
{
    Open("[Comics]\r\nzeta=1\r\nBravo=1\r\n[Proxy]\r\nUseProxy=1\r\nProxyIP=10.0.0.1\r\n"
         "[Updates]\r\nUpdateTime=06:07:08\r\n",
         {"zeta", "delta", "Alpha", "charlie", "Bravo"});
    EXPECT_EQ(dlg->windowTitle(), "Settings");
    EXPECT_EQ(dlg->size(), QSize(346, 401));
    EXPECT_EQ(dlg->chkboxAutoStart->text(), "Start Panelwick when I log in"); // no Windows here
    EXPECT_EQ(Items(dlg->lstboxComicsNotToGet), (QStringList{"Alpha", "charlie", "delta"}));
    EXPECT_EQ(Items(dlg->lstboxComicsToGet), (QStringList{"zeta", "Bravo"})); // catalogue order
    EXPECT_EQ(dlg->MaxDownloadsEdit->text(), "3");
    EXPECT_TRUE(dlg->radioUpdateProgramStart->isChecked());
    EXPECT_FALSE(dlg->radioUpdateManually->isChecked() || dlg->radioUpdateDaily->isChecked());
    EXPECT_EQ(dlg->UpdateTime->time(), QTime(6, 7, 8));
    EXPECT_TRUE(dlg->chkboxNotifyNewStrips->isChecked()); // on unless switched off
    EXPECT_TRUE(dlg->chkboxAutoStart->isChecked());
    EXPECT_FALSE(dlg->chkboxStartMinimized->isChecked());
    EXPECT_EQ(dlg->editProxyIP->text(), "10.0.0.1");
    EXPECT_EQ(dlg->editProxyPort->text(), "80");
    EXPECT_TRUE(dlg->editProxyPort->isEnabled());
    dlg->chkboxUseProxy->click();
    EXPECT_FALSE(dlg->editProxyIP->isEnabled());
    EXPECT_FALSE(dlg->editProxyPort->isEnabled());

    // The next showing reads the file again and keeps the tab it was left on.
    dlg->PageControl1->setCurrentWidget(dlg->tabProxy);
    dlg->hide();
    folder.WriteIni(
        "[Comics]\r\nzeta=1\r\n[Updates]\r\nUpdateOnlyManually=0\r\nUpdateProgramStart=0\r\n"
        "UpdateDaily=0\r\nUpdateTime=garbage\r\nNotifyNewStrips=0\r\n[Downloads]\r\nMaxSimDownloads=7\r\n");
    platform::Tunables::Now = [] { return QDateTime(QDate(2020, 1, 1), QTime(17, 18, 19)); };
    dlg->show();
    EXPECT_EQ(dlg->PageControl1->currentWidget(), dlg->tabProxy);
    EXPECT_EQ(dlg->MaxDownloadsEdit->text(), "7");
    EXPECT_FALSE(dlg->radioUpdateManually->isChecked() || dlg->radioUpdateProgramStart->isChecked() ||
                 dlg->radioUpdateDaily->isChecked());
    EXPECT_EQ(dlg->UpdateTime->time(), QTime(17, 18, 19)); // unreadable: the time of day
    EXPECT_FALSE(dlg->chkboxNotifyNewStrips->isChecked());
    EXPECT_FALSE(dlg->chkboxUseProxy->isChecked());
    EXPECT_FALSE(dlg->editProxyPort->isEnabled());

    // A hand-edited limit shows as the program uses it.
    dlg->hide();
    folder.WriteIni("[Comics]\r\nzeta=1\r\n[Downloads]\r\nMaxSimDownloads=2000000000\r\n");
    dlg->show();
    EXPECT_EQ(dlg->MaxDownloadsEdit->text(), "99");
}

TEST_F(SettingsDialog, UpdatesTabShowsEveryControlWhole)
{
    Open(QByteArray(), {"A"});
    dlg->PageControl1->setCurrentWidget(dlg->tabUpdates);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->size(), QSize(346, 401));
    QList<QRect> placed;
    for (QWidget* w : dlg->tabUpdates->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->inherits("QGroupBox") || w->parent()->inherits("QAbstractSpinBox"))
            continue;
        const QRect r(w->mapTo(dlg->tabUpdates, QPoint(0, 0)), w->size());
        EXPECT_TRUE(dlg->tabUpdates->rect().contains(r)) << w->objectName().toStdString();
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->objectName().toStdString();
        for (const QRect& other : placed)
            EXPECT_FALSE(r.intersects(other)) << w->objectName().toStdString();
        placed << r;
    }
    EXPECT_GE(placed.size(), 8);
}

TEST_F(SettingsDialog, LastFrequencyReadAsTrueWins)
{
    Open("[Updates]\r\nUpdateOnlyManually=1\r\nUpdateProgramStart=1\r\nUpdateDaily=1\r\n", {"A"});
    EXPECT_TRUE(dlg->radioUpdateDaily->isChecked());
    EXPECT_FALSE(dlg->radioUpdateManually->isChecked() || dlg->radioUpdateProgramStart->isChecked());
    dlg->radioUpdateManually->click(); // still one group for the user
    EXPECT_FALSE(dlg->radioUpdateDaily->isChecked());
}

TEST_F(SettingsDialog, MovingComicsBothWays)
{
    Open("[Comics]\r\nb=1\r\nD=1\r\nc=1\r\nE=1\r\n", {"b", "D", "c", "E", "a", "F"});
    Select(dlg->lstboxComicsToGet, {"b", "c", "E"});
    dlg->btnDeleteComic->click();
    EXPECT_EQ(Items(dlg->lstboxComicsToGet), QStringList{"D"});
    EXPECT_EQ(Items(dlg->lstboxComicsNotToGet), (QStringList{"a", "b", "c", "E", "F"}));

    Select(dlg->lstboxComicsNotToGet, {"F", "a"});
    dlg->btnAddComic->click();
    EXPECT_EQ(Items(dlg->lstboxComicsToGet), (QStringList{"D", "a", "F"})); // appended, in list order

    Select(dlg->lstboxComicsNotToGet, {});
    QListWidgetItem* c = dlg->lstboxComicsNotToGet->item(1);
    ASSERT_EQ(c->text(), "c");
    c->setSelected(true);
    emit dlg->lstboxComicsNotToGet->itemDoubleClicked(c);
    EXPECT_EQ(Items(dlg->lstboxComicsToGet), (QStringList{"D", "a", "F", "c"}));
    Select(dlg->lstboxComicsToGet, {"D"});
    emit dlg->lstboxComicsToGet->itemDoubleClicked(dlg->lstboxComicsToGet->item(0));
    EXPECT_EQ(Items(dlg->lstboxComicsNotToGet), (QStringList{"b", "D", "E"}));
    EXPECT_TRUE(log->calls.isEmpty());
}

TEST_F(SettingsDialog, CancelIsRefusedWhileNoComicWasChosenAtOpening)
{
    Open(QByteArray(), {"Alpha", "Beta"});
    dlg->PageControl1->setCurrentWidget(dlg->tabMisc);
    dlg->btnCancel->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(boxes.Texts(), QStringList{"You have to select at least one comic"});
    EXPECT_EQ(dlg->PageControl1->currentWidget(), dlg->tabComics);
    Select(dlg->lstboxComicsNotToGet, {"Beta"});
    dlg->btnAddComic->click();
    QTest::keyClick(dlg.get(), Qt::Key_Escape); // Esc is Cancel: still refused
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->close() == false);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(folder.IniExists());

    dlg->btnOk->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(folder.ReadIni().contains("Beta=1"));
}

TEST_F(SettingsDialog, EmptyChoiceKeepsTheDialogOpenAndWritesNothing)
{
    const QByteArray original = "[Comics]\r\nAlpha=1\r\n";
    Open(original, {"Alpha", "Beta"});
    Select(dlg->lstboxComicsToGet, {"Alpha"});
    dlg->btnDeleteComic->click();
    dlg->btnCancel->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(boxes.Texts(), QStringList{"You have to select at least one comic"});
    dlg->btnOk->click(); // nothing chosen: OK writes nothing either
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(boxes.Texts().size(), 2);
    EXPECT_EQ(folder.ReadIni().toLatin1(), original);

    Select(dlg->lstboxComicsNotToGet, {"Beta"});
    dlg->btnAddComic->click();
    dlg->btnCancel->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(folder.ReadIni().toLatin1(), original);
    EXPECT_TRUE(log->calls.isEmpty());
}

TEST_F(SettingsDialog, OkWritesEveryKeyInOrder)
{
    Open(QByteArray(), {"Bravo", "alpha", "Charlie"});
    Select(dlg->lstboxComicsNotToGet, {"Charlie", "alpha"});
    dlg->btnAddComic->click();
    dlg->MaxDownloadsEdit->setText("12");
    dlg->chkboxAdvancedInfo->setChecked(true);
    dlg->chkboxNotifyNewStrips->setChecked(false);
    dlg->radioUpdateDaily->click();
    dlg->UpdateTime->setTime(QTime(12, 0, 30));
    dlg->chkboxAutoStart->setChecked(false);
    dlg->chkboxStartMinimized->setChecked(true);
    dlg->chkboxUseProxy->setChecked(true);
    dlg->editProxyIP->setText("127.0.0.1");
    dlg->editProxyPort->setText("8080");
    dlg->btnOk->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("|").toStdString();
    const QString time = app::TimeOfDayText::ToText(QTime(12, 0, 30));
    EXPECT_EQ(
        Keys(folder.ReadIni()),
        (QStringList{"Comics/Bravo=0", "Comics/alpha=1", "Comics/Charlie=1", "Downloads/MaxSimDownloads=12",
                     "Updates/ShowAdvancedInfo=1", "Updates/NotifyNewStrips=0",
                     "Updates/UpdateOnlyManually=0", "Updates/UpdateProgramStart=0", "Updates/UpdateDaily=1",
                     "Updates/UpdateTime=" + time, "Misc/AutoStart=0", "Misc/StartMinimized=1",
                     "Proxy/UseProxy=1", "Proxy/ProxyIP=127.0.0.1", "Proxy/ProxyPort=8080"}));
    EXPECT_EQ(log->calls, (QStringList{"SetAutostart 0", "SetTrayStartMinimized 1"}));

    // Shown again: the written time reads back.
    dlg->show();
    EXPECT_EQ(dlg->UpdateTime->time(), QTime(12, 0, 30));
    EXPECT_TRUE(dlg->radioUpdateDaily->isChecked());
}

TEST_F(SettingsDialog, ADesktopThatRefusesAutostartStillGetsEverySettingWritten)
{
    Open("[Comics]\r\nA=1\r\n", {"A"});
    desktop->failing << "SetAutostart";
    dlg->chkboxStartMinimized->setChecked(true);
    dlg->chkboxUseProxy->setChecked(true);
    dlg->editProxyIP->setText("127.0.0.1");
    dlg->btnOk->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"SetAutostart 1 failed"});
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(log->calls, (QStringList{"SetAutostart 1", "SetTrayStartMinimized 1"}));
    const QStringList keys = Keys(folder.ReadIni());
    EXPECT_TRUE(keys.contains("Misc/StartMinimized=1")) << keys.join(" ").toStdString();
    EXPECT_TRUE(keys.contains("Proxy/ProxyIP=127.0.0.1")) << keys.join(" ").toStdString();
}

TEST_F(SettingsDialog, UncheckedProxyKeepsTheStoredAddress)
{
    Open("[Comics]\r\nA=1\r\n[Proxy]\r\nUseProxy=1\r\nProxyIP=1.2.3.4\r\nProxyPort=3128\r\n", {"A"});
    dlg->editProxyIP->setText("9.9.9.9");
    dlg->editProxyPort->setText("x"); // never checked while the proxy is off
    dlg->chkboxUseProxy->setChecked(false);
    dlg->btnOk->click();
    EXPECT_FALSE(dlg->isVisible());
    const QString ini = folder.ReadIni();
    EXPECT_TRUE(ini.contains("UseProxy=0")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("ProxyIP=1.2.3.4"));
    EXPECT_TRUE(ini.contains("ProxyPort=3128"));
}

TEST_F(SettingsDialog, FieldsAreCheckedWhenTheFocusLeavesThem)
{
    Open("[Comics]\r\nA=1\r\n[Proxy]\r\nUseProxy=1\r\n", {"A"});
    dlg->PageControl1->setCurrentWidget(dlg->tabUpdates);
    for (const char* bad : {"0", "abc", ""}) {
        boxes.Clear();
        dlg->MaxDownloadsEdit->setFocus();
        dlg->MaxDownloadsEdit->setText(bad);
        QTest::keyClick(dlg->MaxDownloadsEdit, Qt::Key_Tab);
        EXPECT_EQ(boxes.Texts(), QStringList{"Please enter a number between 1 and 99."}) << bad;
        EXPECT_TRUE(dlg->MaxDownloadsEdit->hasFocus()) << bad;
    }
    boxes.Clear();
    dlg->MaxDownloadsEdit->setText("99");
    QTest::keyClick(dlg->MaxDownloadsEdit, Qt::Key_Tab);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_FALSE(dlg->MaxDownloadsEdit->hasFocus());
    EXPECT_EQ(dlg->MaxDownloadsEdit->maxLength(), 2);

    dlg->PageControl1->setCurrentWidget(dlg->tabProxy);
    const std::pair<const char*, const char*> cases[] = {{"8o", "Not a valid number"},
                                                         {"0", "Please enter a positive number"},
                                                         {"-5", "Please enter a positive number"}};
    for (const auto& [text, message] : cases) {
        boxes.Clear();
        dlg->editProxyPort->setFocus();
        dlg->editProxyPort->setText(text);
        QTest::keyClick(dlg->editProxyPort, Qt::Key_Backtab);
        EXPECT_EQ(boxes.Texts(), QStringList{message}) << text;
        EXPECT_TRUE(dlg->editProxyPort->hasFocus()) << text;
    }
    // Cancel is reachable whatever the field holds.
    dlg->btnCancel->setFocus(Qt::MouseFocusReason);
    dlg->btnCancel->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(folder.ReadIni().contains("ProxyPort"));
}

TEST_F(SettingsDialog, EnterWithAnOutOfRangeValueIsCheckedBeforeWriting)
{
    const QByteArray original = "[Comics]\r\nA=1\r\n";
    Open(original, {"A"});
    dlg->PageControl1->setCurrentWidget(dlg->tabUpdates);
    dlg->MaxDownloadsEdit->setFocus();
    dlg->MaxDownloadsEdit->setText("0");
    QTest::keyClick(dlg->MaxDownloadsEdit, Qt::Key_Return); // the default button: "Ok"
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(boxes.Texts(), QStringList{"Please enter a number between 1 and 99."});
    EXPECT_TRUE(dlg->MaxDownloadsEdit->hasFocus());
    EXPECT_EQ(folder.ReadIni().toLatin1(), original);

    boxes.Clear();
    dlg->MaxDownloadsEdit->setText("4");
    dlg->chkboxUseProxy->setChecked(true);
    dlg->editProxyPort->setText("0");
    dlg->PageControl1->setCurrentWidget(dlg->tabMisc);
    dlg->btnOk->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(boxes.Texts(), QStringList{"Please enter a positive number"});
    EXPECT_EQ(dlg->PageControl1->currentWidget(), dlg->tabProxy);
    EXPECT_EQ(folder.ReadIni().toLatin1(), original);
}

} // namespace

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList Selector(const app::TForm1& f)
{
    QStringList items;
    for (int i = 0; i < f.comboComics->count(); ++i)
        items << f.comboComics->itemText(i);
    return items;
}

// The real main window with a shipped comic and two of the user's own, "Inky" on screen
// with a strip read and one unread.
struct OwnComics : ::testing::Test {
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    test::TestProgram program;
    app::TForm1& f = program.form;
    QString myComics = folder.Path() + "MyComics.urls";
    const QByteArray mine = "Inky\thttp://127.0.0.1:9/inky.xml\r\nBravo\thttp://127.0.0.1:9/bravo.xml\r\n";

    void SetUp() override
    {
        folder.WriteCatalogue("Alpha\thttp://127.0.0.1:9/a.html\r\n");
        QFile f(myComics);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(mine);
        f.close();
        folder.AddGif("Inky", "20261201", "red");
        folder.AddGif("Inky", "20261202", "blue");
        folder.WriteUnread("Inky", {"Inky20261202.gif"});
        folder.WriteIni("[Comics]\r\nAlpha=1\r\nInky=1\r\nBravo=0\r\nCurrentComic=Inky\r\n"
                        "[Updates]\r\nUpdateOnlyManually=1\r\nUpdateProgramStart=0\r\n");
        ASSERT_TRUE(program.Start(folder.Options()));
    }
    // Runs the settings dialog: `work` on the shown dialog, then `close` (OK or Cancel).
    void InSettings(const std::function<void(app::TfrmSettings&)>& work, bool ok)
    {
        f.RunSettingsModal = [&] {
            app::TfrmSettings& dlg = f.Settings();
            dlg.show();
            work(dlg);
            (ok ? dlg.btnOk : dlg.btnCancel)->click();
            EXPECT_FALSE(dlg.isVisible()) << boxes.Texts().join(" | ").toStdString();
            return dlg.result() == QDialog::Accepted;
        };
        f.Settings1->trigger();
    }
    // The edit dialog is given the address and tries the names in turn with OK.
    void EditWith(app::TfrmSettings& dlg, const QStringList& names, const QString& address)
    {
        dlg.RunEditModal = [&](QDialog& d) {
            auto& edit = static_cast<app::TfrmEditComic&>(d);
            edit.editAddress->setText(address);
            for (const QString& name : names) {
                edit.editName->setText(name);
                edit.btnOk->click();
                if (edit.result() == QDialog::Accepted)
                    return true;
            }
            return false;
        };
        dlg.btnEditComic->click();
    }
};

} // namespace

TEST_F(OwnComics, CancelAfterRemoveAndEditLeavesEveryFileAsItWas)
{
    const QString ini = folder.ReadIni();
    const QStringList strips = Entries(folder.Path() + "Comics/Inky");
    InSettings(
        [&](app::TfrmSettings& dlg) {
            Select(dlg.lstboxComicsToGet, {"Alpha"});
            EXPECT_FALSE(dlg.btnRemoveComic->isEnabled()); // shipped: only unchosen
            EXPECT_FALSE(dlg.btnEditComic->isEnabled());
            Select(dlg.lstboxComicsToGet, {"Inky"});
            EXPECT_TRUE(dlg.btnEditComic->isEnabled());
            // Remove asks; No keeps the comic.
            dlg.btnRemoveComic->click();
            EXPECT_EQ(boxes.Texts(),
                      QStringList{"Remove \"Inky\" from your comics? Its strips stay on disk."});
            EXPECT_EQ(Items(dlg.lstboxComicsToGet), (QStringList{"Alpha", "Inky"}));
            boxes.QueueAnswer(true);
            dlg.btnRemoveComic->click();
            EXPECT_EQ(Items(dlg.lstboxComicsToGet), QStringList{"Alpha"});
            Select(dlg.lstboxComicsNotToGet, {"Bravo"});
            EditWith(dlg, {"Bravo Two"}, "https://bravo.test/feed");
            EXPECT_EQ(Items(dlg.lstboxComicsNotToGet), QStringList{"Bravo Two"});
        },
        false);
    EXPECT_EQ(ReadAll(myComics), mine);
    EXPECT_EQ(folder.ReadIni(), ini);
    EXPECT_EQ(Entries(folder.Path() + "Comics/Inky"), strips);
    EXPECT_EQ(Selector(f), (QStringList{"Alpha", "Inky"}));
    ASSERT_NE(f.AllComics().FindByName("Inky"), nullptr);
    EXPECT_NE(f.AllComics().FindByName("Bravo"), nullptr);

    // The next showing starts from the files again.
    InSettings(
        [&](app::TfrmSettings& dlg) {
            EXPECT_EQ(Items(dlg.lstboxComicsToGet), (QStringList{"Alpha", "Inky"}));
            EXPECT_EQ(Items(dlg.lstboxComicsNotToGet), QStringList{"Bravo"});
            Select(dlg.lstboxComicsNotToGet, {"Bravo"});
            boxes.QueueAnswer(true);
            dlg.btnRemoveComic->click();
        },
        true);
    EXPECT_EQ(ReadAll(myComics), "Inky\thttp://127.0.0.1:9/inky.xml\r\n");
    EXPECT_EQ(f.AllComics().FindByName("Bravo"), nullptr);
}

TEST_F(OwnComics, EditRenamesTheComicWithItsStripsAndMarks)
{
    ASSERT_EQ(test::ShownColour(f), QColor(Qt::blue)); // the unread strip, now read
    folder.WriteUnread("Inky", {"Inky20261201.gif"});
    InSettings(
        [&](app::TfrmSettings& dlg) {
            Select(dlg.lstboxComicsToGet, {"Inky"});
            // The rules of adding: names equal but for case, and path separators, refused.
            EditWith(dlg, {"alpha", "Ink/y", "Inky Pen"}, "inkypen.test/rss");
            EXPECT_EQ(
                boxes.Texts(),
                (QStringList{"A comic named \"Alpha\" is already in the catalogue; names that differ only in "
                             "letter case are one name to the settings.",
                             "The name \"Ink/y\" cannot be used: the name holds a path separator, a control "
                             "character, \"=\", \"[\" or \"]\"."}));
            EXPECT_EQ(Items(dlg.lstboxComicsToGet), (QStringList{"Alpha", "Inky Pen"}));
            EXPECT_TRUE(QFile::exists(folder.Path() + "Comics/Inky")); // not before OK
        },
        true);
    EXPECT_EQ(ReadAll(myComics),
              "Inky Pen\thttps://inkypen.test/rss\r\nBravo\thttp://127.0.0.1:9/bravo.xml\r\n");
    EXPECT_EQ(Entries(folder.Path() + "Comics/Inky Pen"),
              (QStringList{"Inky Pen.unr", "Inky Pen20261201.gif", "Inky Pen20261202.gif"}));
    EXPECT_FALSE(QFile::exists(folder.Path() + "Comics/Inky"));
    EXPECT_EQ(folder.Unread("Inky Pen"), QStringList{"Inky Pen20261201.gif"});
    const QString ini = folder.ReadIni();
    EXPECT_TRUE(ini.contains("Inky Pen=1")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Inky=0")) << ini.toStdString();
    EXPECT_EQ(Selector(f), (QStringList{"Alpha", "Inky Pen"}));
    EXPECT_EQ(f.comboComics->currentText(), "Inky Pen");
    // The comic on screen is still itself and steps through its strips by their new names.
    f.btnPrevClick();
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::red));
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Inky Pen20261201.gif");
    EXPECT_EQ(folder.Unread("Inky Pen"), QStringList{});
    f.close();
    EXPECT_TRUE(folder.ReadIni().contains("CurrentComic=Inky Pen"));
}

TEST_F(OwnComics, ARenameWaitsForRunningUpdates)
{
    auto& updates = dynamic_cast<test::RecordingUpdates&>(f.Updates());
    updates.busy = true;
    f.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = f.Settings();
        dlg.show();
        Select(dlg.lstboxComicsToGet, {"Inky"});
        EditWith(dlg, {"Inky Pen"}, "http://127.0.0.1:9/inky.xml");
        dlg.btnOk->click();
        // An update writes into the comic's folder under its old name: nothing is renamed.
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(boxes.Texts(),
                  QStringList{"Couldn't change Inky: comics are being updated; press Ok again when "
                              "the update has finished."});
        EXPECT_TRUE(QFile::exists(folder.Path() + "Comics/Inky/Inky20261201.gif"));
        EXPECT_EQ(ReadAll(myComics), mine);
        updates.busy = false;
        dlg.btnOk->click();
        return dlg.result() == QDialog::Accepted;
    };
    f.Settings1->trigger();
    EXPECT_TRUE(QFile::exists(folder.Path() + "Comics/Inky Pen/Inky Pen20261201.gif"));
    EXPECT_EQ(Selector(f), (QStringList{"Alpha", "Inky Pen"}));
}

TEST(InterruptedRename, IsFinishedWhenTheWindowStarts)
{
    // The program stopped after moving the folder and one strip.
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://127.0.0.1:9/a.html\r\n");
    {
        QFile mine(folder.Path() + "MyComics.urls");
        ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
        mine.write("Inky\thttp://127.0.0.1:9/inky.xml\r\n");
        QFile journal(folder.Path() + "MyComics.urls.renaming");
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write("From=Inky\nTo=Inky Pen\nAddress=http://127.0.0.1:9/inky.xml\nChosen=1\n");
    }
    folder.AddGif("Inky Pen", "20261201", "red");
    folder.AddGif("Inky Pen", "20261202", "blue");
    ASSERT_TRUE(QFile::rename(folder.Path() + "Comics/Inky Pen/Inky Pen20261202.gif",
                              folder.Path() + "Comics/Inky Pen/Inky20261202.gif"));
    folder.WriteIni("[Comics]\r\nAlpha=1\r\nInky=1\r\nCurrentComic=Inky\r\n"
                    "[Updates]\r\nUpdateOnlyManually=1\r\nUpdateProgramStart=0\r\n");
    test::TestProgram program;
    ASSERT_TRUE(program.Start(folder.Options()));
    EXPECT_EQ(boxes.Texts(), QStringList{});
    EXPECT_EQ(Selector(program.form), (QStringList{"Alpha", "Inky Pen"}));
    EXPECT_EQ(program.form.comboComics->currentText(), "Inky Pen");
    EXPECT_EQ(test::ShownColour(program.form), QColor(Qt::blue)); // its newest strip
    EXPECT_FALSE(QFile::exists(folder.Path() + "MyComics.urls.renaming"));
}

TEST_F(OwnComics, TheFileMenuImportsAndExportsOutlineLists)
{
    // The comics of a feed reader's export: chosen, in the selector, and updated at once.
    f.ChooseOpmlFile = [](bool save) {
        EXPECT_FALSE(save);
        return test::FixturePath("opml/freshrss-text-only.opml");
    };
    program.log->calls.clear();
    f.ImportComics1->trigger();
    EXPECT_EQ(boxes.Texts(),
              QStringList{"Imported 4 comics; 1 refused: A Blog With No Feed Address (no feed address)."});
    EXPECT_EQ(Selector(f), (QStringList{"Alpha", "Inky", "Shipped Page Comic", "Tiny Robots", "feed: form",
                                        "untitled.example"}));
    EXPECT_TRUE(program.log->calls.contains("UpdateComic Tiny Robots"))
        << program.log->calls.join(", ").toStdString();
    EXPECT_EQ(f.comboComics->currentText(), "Inky");

    // The chosen ones go out.
    const QString file = folder.Path() + "export.opml";
    f.ChooseOpmlFile = [&](bool save) {
        EXPECT_TRUE(save);
        return file;
    };
    f.ExportComics1->trigger();
    const QString opml = QString::fromUtf8(ReadAll(file));
    EXPECT_TRUE(opml.contains("xmlUrl=\"https://tinyrobots.example/feed.xml\"")) << opml.toStdString();
    EXPECT_TRUE(opml.contains("title=\"Inky\""));
    EXPECT_FALSE(opml.contains("Bravo"));

    // A hostile list changes nothing.
    boxes.Clear();
    f.ChooseOpmlFile = [](bool) { return test::FixturePath("opml/billion-laughs.opml"); };
    const QByteArray before = ReadAll(myComics);
    f.ImportComics1->trigger();
    ASSERT_EQ(boxes.Texts().size(), 1);
    EXPECT_TRUE(
        boxes.Texts()[0].endsWith("it is malformed (its document type declares entries of its own)."));
    EXPECT_EQ(ReadAll(myComics), before);
}
