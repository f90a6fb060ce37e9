// "Add comic…" and "Remove" in the settings dialog of the real main window, against
// nginx serving a feed.
#include "AppFixture.h"
#include "NginxServer.h"
#include "TestPaths.h"

#include "app/TForm1.h"
#include "app/TfrmAddComic.h"
#include "app/TfrmSettings.h"
#include "comics/TComicInfo.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
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

            add.editAddress->setText(address);
            QTest::keyClick(add.editAddress, Qt::Key_Return); // Enter in the field looks too
            EXPECT_TRUE(test::WaitFor([&] { return add.btnOk->isEnabled(); }));
            EXPECT_EQ(add.lblFound->text(), "RSS 2.0 feed, newest strip 2026-12-08");
            EXPECT_EQ(add.editName->text(), "Escaped Ink");
            const QImage preview = add.imgPreview->pixmap().toImage();
            EXPECT_FALSE(preview.isNull());
            if (!preview.isNull()) {
                EXPECT_EQ(preview.pixelColor(preview.width() / 2, preview.height() / 2), QColor(Qt::blue));
            }
            add.btnOk->click();
            return add.result() == QDialog::Accepted;
        };
        dlg.btnNewComic->click();
        EXPECT_EQ(Items(dlg.lstboxComicsToGet), (QStringList{"Alpha", "Escaped Ink"}));
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
        dlg.btnRemoveComic->click();
        EXPECT_EQ(Items(dlg.lstboxComicsToGet), QStringList{"Alpha"});
        EXPECT_EQ(Items(dlg.lstboxComicsNotToGet), QStringList{});
        dlg.btnOk->click();
        return dlg.result() == QDialog::Accepted;
    };
    f.Settings1->trigger();
    EXPECT_EQ(ReadAll(myComics), QByteArray());
    EXPECT_EQ(Selector(f), QStringList{"Alpha"});
    EXPECT_EQ(f.AllComics().FindByName("Escaped Ink"), nullptr);
}
