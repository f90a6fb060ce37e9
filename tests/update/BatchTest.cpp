#include "BatchTest.h"

#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace pw::test {

QByteArray Page(const QString& image)
{
    return "<html>\n<p><a href=\"/archive/images/" + image.toLatin1() +
           "\"><img src=\"/thumbs/x.gif\"></a>"
           " archive/images</p>\n</html>\n";
}

QByteArray Bytes(char seed, int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(static_cast<char>(seed + i * 13));
    return b;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void BatchTest::Choose(const QString& name, const QString& url)
{
    catalogue += name.toUtf8() + "\t" + url.toUtf8() + "\r\n";
    ini.WriteBool("Comics", name, true);
}

QString BatchTest::Strip(const QString& comic, const QString& file) const
{
    return folder.filePath("Comics/" + comic + "/" + file);
}

QStringList BatchTest::FilesOf(const QString& comic) const
{
    return QDir(folder.filePath("Comics/" + comic)).entryList(QDir::Files | QDir::Hidden);
}

BatchTest::Result BatchTest::Run(const QString& siteBase, const QStringList& env)
{
    return RunProgram({"--batch-update"}, siteBase, env);
}

void BatchTest::StartProgram(QProcess& p, const QStringList& arguments, const QString& siteBase,
                             const QStringList& env)
{
    QFile f(folder.filePath("Comics.urls"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(catalogue);
    f.close();
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("PANELWICK_SITE_BASE", siteBase);
    e.remove("DISPLAY"); // needs no display
    e.remove("QT_QPA_PLATFORM");
    for (const QString& kv : env)
        e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(e);
    p.start(program.isEmpty() ? BinaryDir() + "/panelwick" : program,
            arguments + QStringList{"--program-folder", folder.path()});
}

BatchTest::Result BatchTest::RunProgram(const QStringList& arguments, const QString& siteBase,
                                        const QStringList& env)
{
    QProcess p;
    StartProgram(p, arguments, siteBase, env);
    Result r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.errors = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace pw::test
