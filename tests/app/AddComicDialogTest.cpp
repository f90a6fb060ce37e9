// "Add comic…" and "Remove" in the settings dialog of the real main window, against
// nginx serving a feed.
#include "AppFixture.h"
#include "MessageBoxRecorder.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "TestPaths.h"

#include "app/TForm1.h"
#include "app/TStartup.h"
#include "app/TfrmAddComic.h"
#include "app/TfrmSettings.h"
#include "comics/TComicInfo.h"
#include "platform/IniFile.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray PngOf(const QColor& colour)
{
    QImage image(60, 20, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QStringList Items(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

QStringList Selector(const app::TForm1& f)
{
    QStringList items;
    for (int i = 0; i < f.comboComics->count(); ++i)
        items << f.comboComics->itemText(i);
    return items;
}

} // namespace

TEST(AddComicDialog, AddedFromItsAddressWithAPreviewThenRemoved)
{
    test::MessageBoxRecorder boxes;
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    const QByteArray feed = ReadAll(test::FixturePath("feeds/rss-escaped-img.xml"));
    ASSERT_TRUE(
        nginx.WriteFile("escaped/rss.xml", QByteArray(feed).replace("@SITE@", nginx.Url("").toLatin1())));
    ASSERT_TRUE(nginx.WriteFile("escaped/strips/tuesday.png", PngOf(Qt::blue)));
    ASSERT_TRUE(nginx.WriteFile("nothing.html", "<html><head><title>Nothing</title></head></html>"));
    // A page whose og:image is the site's card: the preview shows the strip taken instead.
    ASSERT_TRUE(nginx.WriteFile(
        "cards/strip/9.html",
        "<html><head><title>Cards</title><meta property=og:image content=/cards/og-default.png>"
        "</head><body><div id=comic><img src=/cards/9.png></div></body></html>"));
    ASSERT_TRUE(nginx.WriteFile("cards/og-default.png", PngOf(Qt::green)));
    ASSERT_TRUE(nginx.WriteFile("cards/9.png", PngOf(Qt::red)));

    test::ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://127.0.0.1:9/a.html\r\n");
    folder.WriteIni("[Comics]\r\nAlpha=1\r\n[Updates]\r\nUpdateOnlyManually=1\r\nUpdateProgramStart=0\r\n");
    test::TestProgram program;
    app::TForm1& f = program.form;
    ASSERT_TRUE(program.Start(folder.Options()));
    const QString address = nginx.Url("/escaped/rss.xml");
    const QString myComics = folder.Path() + "MyComics.urls";

    f.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = f.Settings();
        dlg.show();
        EXPECT_TRUE(dlg.btnNewComic->isVisible());
        EXPECT_TRUE(dlg.lblAddHint->isVisible());
        EXPECT_FALSE(dlg.btnRemoveComic->isEnabled());
        dlg.Adding.RunModal = [&](QDialog& d) {
            auto& add = static_cast<app::TfrmAddComic&>(d);
            add.show();
            // An address without a comic: said so, nothing to add.
            add.editAddress->setText(nginx.Url("/nothing.html"));
            add.btnLook->click();
            EXPECT_TRUE(add.progressLooking->isVisible());
            EXPECT_TRUE(test::WaitFor([&] { return !add.progressLooking->isVisible(); }));
            EXPECT_TRUE(add.lblFound->text().startsWith("No comic found at "))
                << add.lblFound->text().toStdString();
            EXPECT_FALSE(add.btnOk->isEnabled());

            add.editAddress->setText(nginx.Url("/cards/strip/9.html"));
            add.btnLook->click();
            EXPECT_TRUE(test::WaitFor([&] { return add.btnOk->isEnabled(); }));
            const QImage strip = add.imgPreview->pixmap().toImage();
            EXPECT_FALSE(strip.isNull());
            if (!strip.isNull()) {
                EXPECT_EQ(strip.pixelColor(strip.width() / 2, strip.height() / 2), QColor(Qt::red));
            }
            EXPECT_EQ(add.imgPreview->toolTip(), nginx.Url("/cards/9.png"));

            // Typing another address makes Enter look again, not add what was found before.
            add.editAddress->clear();
            QTest::keyClicks(add.editAddress, address);
            QTest::keyClick(add.editAddress, Qt::Key_Return);
            EXPECT_TRUE(test::WaitFor([&] { return add.btnOk->isEnabled(); }));
            EXPECT_EQ(add.lblFound->text(), "RSS 2.0 feed, newest strip 2026-12-08");
            EXPECT_EQ(add.editName->text(), "Escaped Ink");
            const QImage preview = add.imgPreview->pixmap().toImage();
            EXPECT_FALSE(preview.isNull());
            if (!preview.isNull()) {
                EXPECT_EQ(preview.pixelColor(preview.width() / 2, preview.height() / 2), QColor(Qt::blue));
            }
            // Another address: the proposed name and the preview were the other comic's.
            add.editAddress->setText(nginx.Url("/nothing.html"));
            add.btnLook->click();
            EXPECT_EQ(add.editName->text(), "");
            EXPECT_TRUE(add.imgPreview->pixmap().isNull());
            EXPECT_FALSE(add.btnOk->isEnabled());
            EXPECT_TRUE(test::WaitFor([&] { return !add.Looking(); }));
            add.editAddress->setText(address);
            add.btnLook->click();
            EXPECT_TRUE(test::WaitFor([&] { return add.btnOk->isEnabled(); }));
            EXPECT_EQ(add.editName->text(), "Escaped Ink");
            add.btnOk->click();
            return add.result() == QDialog::Accepted;
        };
        dlg.btnNewComic->click();
        EXPECT_EQ(Items(dlg.lstboxComicsToGet), (QStringList{"Alpha", "Escaped Ink"}));
        EXPECT_FALSE(QFile::exists(myComics)); // until OK
        dlg.btnOk->click();
        return dlg.result() == QDialog::Accepted;
    };
    f.Settings1->trigger();
    EXPECT_EQ(ReadAll(myComics), ("Escaped Ink\t" + address + "\r\n").toUtf8());
    EXPECT_EQ(Selector(f), (QStringList{"Alpha", "Escaped Ink"}));
    EXPECT_TRUE(folder.ReadIni().contains("Escaped Ink=1"));

    // Shipped comics can only be unchosen; the user's own can be removed.
    f.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = f.Settings();
        dlg.show();
        dlg.lstboxComicsToGet->item(0)->setSelected(true);
        EXPECT_FALSE(dlg.btnRemoveComic->isEnabled()); // Alpha
        dlg.lstboxComicsToGet->clearSelection();
        dlg.lstboxComicsToGet->item(1)->setSelected(true);
        EXPECT_TRUE(dlg.btnRemoveComic->isEnabled()); // Escaped Ink
        boxes.QueueAnswer(true);
        dlg.btnRemoveComic->click();
        EXPECT_EQ(boxes.Texts(),
                  QStringList{"Remove \"Escaped Ink\" from your comics? Its strips stay on disk."});
        EXPECT_EQ(Items(dlg.lstboxComicsToGet), QStringList{"Alpha"});
        EXPECT_EQ(Items(dlg.lstboxComicsNotToGet), QStringList{});
        dlg.btnOk->click();
        return dlg.result() == QDialog::Accepted;
    };
    f.Settings1->trigger();
    EXPECT_EQ(ReadAll(myComics), QByteArray());
    EXPECT_EQ(Selector(f), QStringList{"Alpha"});
    EXPECT_EQ(f.AllComics().FindByName("Escaped Ink"), nullptr);

    // Added again, then Cancel: the files and the window stay as they were.
    const QString ini = folder.ReadIni();
    f.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = f.Settings();
        dlg.show();
        dlg.Adding.RunModal = [&](QDialog& d) {
            auto& add = static_cast<app::TfrmAddComic&>(d);
            add.show();
            add.editAddress->setText(address);
            add.btnLook->click();
            EXPECT_TRUE(test::WaitFor([&] { return add.btnOk->isEnabled(); }));
            add.btnOk->click();
            return add.result() == QDialog::Accepted;
        };
        dlg.btnNewComic->click();
        EXPECT_EQ(Items(dlg.lstboxComicsToGet), (QStringList{"Alpha", "Escaped Ink"}));
        dlg.btnCancel->click();
        return dlg.result() == QDialog::Accepted;
    };
    f.Settings1->trigger();
    EXPECT_EQ(ReadAll(myComics), QByteArray());
    EXPECT_EQ(folder.ReadIni(), ini);
    EXPECT_EQ(Selector(f), QStringList{"Alpha"});
    EXPECT_EQ(f.AllComics().FindByName("Escaped Ink"), nullptr);
}

TEST(AddComicDialog, AServersReasonPhraseShowsAsPlainTextAndNeverWidensTheDialog)
{
    // Reason phrases written as markup: a picture wider than any screen, then tables nested
    // deep enough to hold the layout at full load for good.
    const QByteArray picture = "<img width=1500 height=1500 src=x>Gone";
    const QByteArray tables = QByteArray("<table><tr><td>").repeated(60) + "Gone";
    test::ProgramFolder folder;
    platform::TIniFile ini(folder.IniPath());
    app::TComicAdding adding;
    adding.Add = [](const QString&, const QString&, QString*) { return false; };
    app::TfrmAddComic dialog(ini, adding);
    dialog.show();
    const int width = dialog.width();
    for (const QByteArray& reason : {picture, tables}) {
        test::MisbehavingServer server;
        server.SetScript(
            test::MisbehavingServer::Respond("HTTP/1.0 404 " + reason + "\r\nContent-Length: 0\r\n\r\n"));
        ASSERT_TRUE(server.Start());
        dialog.editAddress->setText(server.Url("/feed.xml"));
        dialog.btnLook->click();
        ASSERT_TRUE(test::WaitFor([&] { return !dialog.Looking(); }));
        dialog.layout()->activate();
        // The text as it came, cut to a few lines.
        const QString full =
            server.Url("/feed.xml") + " could not be read: 404 " + QString::fromLatin1(reason);
        EXPECT_EQ(dialog.lblFound->text().remove(QChar(0x200B)),
                  full.size() <= 400 ? full : full.left(399) + QChar(0x2026));
        ASSERT_LE(dialog.minimumSizeHint().width(), width) << reason.toStdString();
        ASSERT_LE(dialog.width(), width) << reason.toStdString();
        EXPECT_FALSE(dialog.btnOk->isEnabled());
    }
}

TEST(AddComicDialog, FileMenuAddsABareAddressUnderAFreeNameAndShowsItsStripOnceUpdated)
{
    test::MessageBoxRecorder boxes;
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    const QByteArray feed = ReadAll(test::FixturePath("feeds/rss-escaped-img.xml"));
    ASSERT_TRUE(
        nginx.WriteFile("escaped/rss.xml", QByteArray(feed).replace("@SITE@", nginx.Url("").toLatin1())));
    for (const char* day : {"monday", "tuesday"}) // which is newest by the update's clock
        ASSERT_TRUE(nginx.WriteFile(QStringLiteral("escaped/strips/%1.png").arg(day), PngOf(Qt::blue)));

    // The feed is titled "Escaped Ink"; a switched-off comic of that name in capitals must
    // stay off and keep its key to itself.
    test::ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://127.0.0.1:9/a.html\r\nESCAPED INK\thttp://127.0.0.1:9/e.html\r\n");
    folder.WriteIni("[Comics]\r\nAlpha=1\r\nESCAPED INK=0\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    app::TStartup startup;
    app::TForm1& f = startup.MainWindow();
    const QString address = nginx.Url("/escaped/rss.xml");
    const QString bare = address.mid(QStringLiteral("http://").size()); // as users type it
    QString seen;
    f.RunAddComicModal = [&](QDialog& d) {
        auto& add = static_cast<app::TfrmAddComic&>(d);
        add.show();
        add.editAddress->setText(bare);
        QTest::keyClick(add.editAddress, Qt::Key_Return); // Enter looks
        if (!test::WaitFor([&] { return !add.Looking(); }))
            return false;
        seen = add.lblFound->text();
        if (!add.btnOk->isEnabled())
            return false;
        EXPECT_EQ(add.editName->text(), "Escaped Ink (2)");
        // The capitals' name in another letter case is refused.
        add.editName->setText("escaped ink");
        QTest::keyClick(add.editName, Qt::Key_Return);
        EXPECT_EQ(boxes.Texts(), QStringList{"A comic named \"ESCAPED INK\" is already in the catalogue; "
                                             "names that differ only in letter case are one name to the "
                                             "settings."});
        EXPECT_NE(add.result(), QDialog::Accepted);
        add.editName->setText("Escaped Ink (2)");
        QTest::keyClick(add.editName, Qt::Key_Return); // after a successful look Enter adds
        return add.result() == QDialog::Accepted;
    };
    ASSERT_TRUE(startup.Start(folder.Options()));
    f.AddComic1->trigger();
    EXPECT_EQ(seen, "RSS 2.0 feed, newest strip 2026-12-08");
    // No https there: the address that answered, plain http, is the one kept.
    EXPECT_EQ(ReadAll(folder.Path() + "MyComics.urls"), ("Escaped Ink (2)\t" + address + "\r\n").toUtf8());
    EXPECT_EQ(Selector(f), (QStringList{"Alpha", "Escaped Ink (2)"}));
    EXPECT_EQ(f.comboComics->currentText(), "Escaped Ink (2)");
    const QString ini = folder.ReadIni();
    EXPECT_TRUE(ini.contains("ESCAPED INK=0")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Escaped Ink (2)=1")) << ini.toStdString();
    // Updated at once, and shown when its strip arrives.
    EXPECT_TRUE(test::WaitFor([&] { return test::ShownColour(f) == QColor(Qt::blue); }));

    // The same address again, typed in full: followed already.
    f.RunAddComicModal = [&](QDialog& d) {
        auto& add = static_cast<app::TfrmAddComic&>(d);
        add.show();
        add.editAddress->setText(address);
        add.btnLook->click();
        seen = add.lblFound->text();
        return false;
    };
    f.AddComic1->trigger();
    EXPECT_EQ(seen, "Already followed as Escaped Ink (2)");
    EXPECT_EQ(Selector(f), (QStringList{"Alpha", "Escaped Ink (2)"}));
}
