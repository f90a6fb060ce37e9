// The real main window updating comics whose pages are on https (nginx with certificates
// made by the test, addressed by 127.0.0.1, which the certificates name too).
#include "MessageBoxRecorder.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestCertificates.h"
#include "TestPaths.h"
#include "app/StartupOptions.h"
#include "app/TForm1.h"
#include "app/TStartup.h"
#include "app/UpdateEngine.h"
#include "comics/TComicInfo.h"
#include "update/TInfoForm.h"
#include "update/TUpdateScheduler.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace pw;

namespace {

std::unique_ptr<test::NginxServer> Serve(const test::TestCertificates::Pair& pair)
{
    test::NginxServer::Options o;
    o.Certificate = pair.Certificate;
    o.CertificateKey = pair.Key;
    auto nginx = std::make_unique<test::NginxServer>(o);
    EXPECT_TRUE(nginx->Start()) << nginx->Error().toStdString();
    EXPECT_TRUE(nginx->WriteFile("w/index.html",
                                 "<html>\n<img src=\"/archive/images/w.gif\"> archive/images\n</html>\n",
                                 QDateTime(QDate(2001, 12, 4), QTime(10, 0), Qt::UTC)));
    QFile gif(test::SourceDir() + "/tests/smoke/smoke-a.gif");
    EXPECT_TRUE(gif.open(QIODevice::ReadOnly));
    EXPECT_TRUE(nginx->WriteFile("archive/images/w.gif", gif.readAll()));
    return nginx;
}

} // namespace

TEST(HttpsWiring, TheWindowShowsAStripFetchedOverHttpsAndTheRefusedCertificate)
{
    test::TestCertificates certs;
    ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
    // Read at the program's first secure connection, which is below.
    qputenv("SSL_CERT_FILE", certs.CaFile().toLocal8Bit());
    const auto good = Serve(certs.Good());
    const auto expired = Serve(certs.Expired());
    test::MessageBoxRecorder boxes;
    QTemporaryDir folder;
    QFile c(folder.filePath("Comics.urls"));
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write(("Web\t" + good->SecureUrl("127.0.0.1", "/w/index.html") + "\r\nOld\t" +
             expired->SecureUrl("127.0.0.1", "/w/index.html") + "\r\n")
                .toUtf8());
    c.close();
    QFile i(folder.filePath("panelwick.ini"));
    ASSERT_TRUE(i.open(QIODevice::WriteOnly));
    i.write("[Comics]\r\nWeb=1\r\nOld=1\r\nCurrentComic=Web\r\n[Updates]\r\nUpdateProgramStart=1\r\n");
    i.close();

    app::TStartup startup;
    ASSERT_TRUE(startup.Start(
        *app::TStartupOptions::Parse({"--program-folder", folder.path()}, folder.filePath("panelwick"))));
    app::TForm1& form = startup.MainWindow();
    auto* engine = dynamic_cast<app::UpdateEngine*>(&form.Updates());
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(test::WaitFor([&] { return !engine->Scheduler().Busy(); }, 30000));

    EXPECT_EQ(form.ProgressLabel->text(), "1 updated, 0 didn't need a update, 1 failed.");
    ASSERT_TRUE(form.CurrentComic());
    ASSERT_TRUE(form.CurrentComic()->CurrentStrip);
    EXPECT_EQ(form.CurrentComic()->CurrentStrip->FileName, "Web20011204.gif");
    ASSERT_NE(engine->InfoForm(), nullptr);
    QStringList lines;
    for (int row = 0; row < engine->InfoForm()->ListBox1->count(); ++row)
        lines << engine->InfoForm()->ListBox1->item(row)->text();
    lines.sort();
    EXPECT_EQ(lines,
              (QStringList{"Old: Failed: the site's certificate has expired", "Web: New strip updated"}));
    EXPECT_TRUE(QDir(folder.filePath("Comics/Old")).entryList(QDir::Files | QDir::Hidden).isEmpty());
    qunsetenv("SSL_CERT_FILE");
}
