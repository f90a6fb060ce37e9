#include "imaging/ImageLimits.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using pw::imaging::ReadImageFile;

namespace {

QByteArray Pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class ImageFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

TEST_F(ImageFile, AFileIsReadWholeWithoutReservingTheBound)
{
    const QString path = dir.filePath(QStringLiteral("strip.gif"));
    const QByteArray bytes = Pattern(5000);
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    QByteArray data;
    QString error;
    ASSERT_TRUE(ReadImageFile(path, data, error)) << error.toStdString();
    EXPECT_EQ(data, bytes);
    // What is kept for a small file is sized by the file, not by the largest one allowed.
    EXPECT_LT(data.capacity(), 1024 * 1024);
}

TEST_F(ImageFile, AFileThatTellsNoSizeIsReadToItsEnd)
{
    // A pipe reports size 0: the room grows as the bytes come.
    const QString path = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const QByteArray bytes = Pattern(300 * 1024 + 17);
    std::thread writer([&] {
        QFile out(path);
        if (out.open(QIODevice::WriteOnly))
            out.write(bytes);
    });
    QByteArray data;
    QString error;
    const bool read = ReadImageFile(path, data, error);
    writer.join();
    ASSERT_TRUE(read) << error.toStdString();
    EXPECT_EQ(data.size(), bytes.size());
    EXPECT_EQ(data, bytes);
}

TEST_F(ImageFile, AFileLargerThanTheBoundIsRefusedUnread)
{
    const QString path = dir.filePath(QStringLiteral("huge.gif"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    ASSERT_TRUE(out.resize(pw::imaging::kMaxImageFileBytes + 1)); // sparse: no space taken
    out.close();
    QByteArray data;
    QString error;
    EXPECT_FALSE(ReadImageFile(path, data, error));
    EXPECT_EQ(error, QStringLiteral("file too large"));
    EXPECT_TRUE(data.isEmpty());
}

TEST_F(ImageFile, AMissingFileGivesTheSystemsReason)
{
    QByteArray data;
    QString error;
    EXPECT_FALSE(ReadImageFile(dir.filePath(QStringLiteral("missing.gif")), data, error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
