#pragma once

#include "platform/IniFile.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pw::test {

// A comic page whose first "archive/images" line links /archive/images/<image>.
QByteArray Page(const QString& image);
// n bytes that differ from those of another seed.
QByteArray Bytes(char seed, int n);
QByteArray ReadAll(const QString& path);

// A program folder for `panelwick --batch-update`, run as the real program.
struct BatchTest : ::testing::Test {
    struct Result {
        int exitCode = -1;
        QStringList lines; // standard output
        QString errors;    // standard error
    };

    QTemporaryDir folder;
    QString program; // the executable run; empty: the build's
    platform::TIniFile ini{folder.filePath("panelwick.ini")};
    QByteArray catalogue;

    void Choose(const QString& name, const QString& url);
    QString Strip(const QString& comic, const QString& file) const;
    // Every file in the comic's folder, hidden ones included.
    QStringList FilesOf(const QString& comic) const;
    Result Run(const QString& siteBase, const QStringList& env = {});
    // The program with these arguments (and "--program-folder" this folder).
    Result RunProgram(const QStringList& arguments, const QString& siteBase, const QStringList& env = {});
    // Writes the catalogue and starts the program on the folder, without waiting for it.
    void StartProgram(QProcess& p, const QStringList& arguments, const QString& siteBase,
                      const QStringList& env = {});
};

} // namespace pw::test
