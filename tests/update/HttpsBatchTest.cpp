// The real program's batch update against comic pages on https: nginx with certificates
// made by the test, comics.test through nss_wrapper, the test CA through SSL_CERT_FILE.
#include "BatchTest.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestCertificates.h"
#include "TestHosts.h"

#include <QDir>
#include <gtest/gtest.h>
#include <memory>

using namespace pw;

using test::BatchTest;
using test::Bytes;
using test::Page;
using test::ReadAll;

namespace {

// comics.test and other.test are names of this machine for the test.
const bool kTestHosts = test::UseTestHosts();

std::unique_ptr<test::NginxServer> Nginx(const test::TestCertificates::Pair& pair, const QString& serverBlock)
{
    test::NginxServer::Options o;
    o.Certificate = pair.Certificate;
    o.CertificateKey = pair.Key;
    o.ServerBlock = serverBlock;
    return std::make_unique<test::NginxServer>(o);
}

} // namespace

TEST_F(BatchTest, ComicsOnHttpsAreStoredAndRefusedCertificatesStoreNothing)
{
    test::TestCertificates certs;
    ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
    auto plain = Nginx({}, {});
    ASSERT_TRUE(plain->Start()) << plain->Error().toStdString();
    auto secure = Nginx(certs.Good(), QStringLiteral("location = /down/index.html { return 302 "
                                                     "http://comics.test:%1/secure/index.html; }")
                                          .arg(plain->Port()));
    ASSERT_TRUE(secure->Start()) << secure->Error().toStdString();
    // The plain server sends its visitors to https, as most comic sites do.
    plain.reset();
    plain = Nginx(
        {},
        QStringLiteral("location / { return 301 https://comics.test:%1$request_uri; }").arg(secure->Port()));
    ASSERT_TRUE(plain->Start()) << plain->Error().toStdString();
    auto expired = Nginx(certs.Expired(), {});
    ASSERT_TRUE(expired->Start()) << expired->Error().toStdString();

    for (test::NginxServer* nginx : {secure.get(), expired.get()}) {
        ASSERT_TRUE(nginx->WriteFile("secure/index.html", Page("s.gif")));
        ASSERT_TRUE(nginx->WriteFile("archive/images/s.gif", Bytes('s', 40000)));
        ASSERT_TRUE(nginx->WriteFile("up/index.html", Page("u.jpg")));
        ASSERT_TRUE(nginx->WriteFile("archive/images/u.jpg", Bytes('u', 5000)));
    }
    Choose("Secure", secure->SecureUrl("comics.test", "/secure/index.html"));
    Choose("Upgraded", QStringLiteral("http://comics.test:%1/up/index.html").arg(plain->Port()));
    Choose("Expired", expired->SecureUrl("comics.test", "/secure/index.html"));
    Choose("Downgraded", secure->SecureUrl("comics.test", "/down/index.html"));

    const BatchTest::Result r = Run(secure->SecureUrl("comics.test", ""),
                                    {"SSL_CERT_FILE=" + certs.CaFile(), "SSL_CERT_DIR=/nonexistent"});
    QStringList perComic = r.lines.mid(0, 4);
    perComic.sort();
    EXPECT_EQ(perComic, (QStringList{"Downgraded: Failed: the server redirected from https to http",
                                     "Expired: Failed: the site's certificate has expired",
                                     "Secure: New strip updated", "Upgraded: New strip updated"}))
        << r.errors.toStdString();
    QDir secureFolder(folder.filePath("Comics/Secure"));
    ASSERT_EQ(secureFolder.entryList({"*.gif"}, QDir::Files).size(), 1);
    EXPECT_EQ(ReadAll(secureFolder.filePath(secureFolder.entryList({"*.gif"}, QDir::Files).first())),
              Bytes('s', 40000));
    QDir upFolder(folder.filePath("Comics/Upgraded"));
    ASSERT_EQ(upFolder.entryList({"*.jpg"}, QDir::Files).size(), 1);
    EXPECT_EQ(ReadAll(upFolder.filePath(upFolder.entryList({"*.jpg"}, QDir::Files).first())),
              Bytes('u', 5000));
    // The strip of the upgraded page came from the https site it was joined to.
    EXPECT_TRUE(secure->AccessLog().contains("GET /archive/images/u.jpg"));
    EXPECT_FALSE(expired->AccessLog().contains("GET"));
    EXPECT_EQ(FilesOf("Expired"), QStringList{});
    EXPECT_EQ(FilesOf("Downgraded"), QStringList{});
}

TEST_F(BatchTest, AHostTlsCannotCheckIsNeverAsked)
{
    test::TestCertificates certs;
    ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
    auto secure = Nginx(certs.Good(), {});
    ASSERT_TRUE(secure->Start()) << secure->Error().toStdString();
    ASSERT_TRUE(secure->WriteFile("secure/index.html", Page("s.gif")));
    ASSERT_TRUE(secure->WriteFile("archive/images/s.gif", Bytes('s', 400)));
    // A proxy that opens a tunnel for any host at all, to the server with a good certificate.
    test::MisbehavingServer proxy;
    proxy.SetScript(test::MisbehavingServer::Script()
                        .ReadRequest()
                        .Send("HTTP/1.0 200 Connection established\r\n\r\n")
                        .Relay(secure->Port(), 65536, 0));
    ASSERT_TRUE(proxy.Start());
    ini.WriteBool("Proxy", "UseProxy", true);
    ini.WriteString("Proxy", "ProxyIP", "127.0.0.1");
    ini.WriteString("Proxy", "ProxyPort", QString::number(proxy.Port()));
    const QString port = QString::number(secure->Port());
    QString longName;
    for (int i = 0; i < 5; ++i)
        longName += QString(60, QChar('a' + i)) + '.';
    longName += "test"; // too long for the server name TLS sends
    Choose("Dot", "https://.:" + port + "/secure/index.html");
    Choose("Dots", "https://..:" + port + "/secure/index.html");
    Choose("Long", "https://" + longName + ":" + port + "/secure/index.html");
    Choose("Good", "https://comics.test:" + port + "/secure/index.html");

    const BatchTest::Result r = Run(secure->SecureUrl("comics.test", ""),
                                    {"SSL_CERT_FILE=" + certs.CaFile(), "SSL_CERT_DIR=/nonexistent"});
    QStringList perComic = r.lines.mid(0, 4);
    perComic.sort();
    ASSERT_EQ(perComic.size(), 4) << r.errors.toStdString();
    EXPECT_EQ(perComic[0], "Dot: Failed: the address names no host");
    EXPECT_EQ(perComic[1], "Dots: Failed: the address names no host");
    EXPECT_EQ(perComic[2], "Good: New strip updated");
    EXPECT_TRUE(
        perComic[3].startsWith("Long: Failed: the secure connection could not be made (the server name "
                               "cannot be sent"))
        << perComic[3].toStdString();
    // Only the good comic's page and strip and the long name's tunnel reached the proxy.
    EXPECT_EQ(proxy.Connections(), 3);
    EXPECT_EQ(FilesOf("Dot"), QStringList{});
    EXPECT_EQ(FilesOf("Dots"), QStringList{});
}

TEST_F(BatchTest, AddingAComicWhoseCertificateNamesAnotherSiteSaysSoPlainly)
{
    test::TestCertificates certs;
    ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
    auto secure = Nginx(certs.Good(), {}); // for comics.test
    ASSERT_TRUE(secure->Start()) << secure->Error().toStdString();
    const Result r = RunProgram({"--add-comic", secure->SecureUrl("other.test", "/feed.xml")}, {},
                                {"SSL_CERT_FILE=" + certs.CaFile(), "SSL_CERT_DIR=/nonexistent"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains("The site's certificate is for another name (not other.test)"))
        << r.errors.toStdString();
    EXPECT_FALSE(r.errors.contains("30002")) << r.errors.toStdString();
}
