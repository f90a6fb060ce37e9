#pragma once

#include "platform/FileChangeWatch.h"
#include "platform/FileStamp.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pw::platform {

// The configuration file (private-profile semantics). Every read sees the file as it is
// (the bytes of the last read are reused while the file is unchanged), every write changes
// one key in the file at once (through a temporary file and a rename, keeping the other
// lines, their order and CR LF endings).
// Section and key names match without regard to case. A refused write throws
// platform::Exception("Unable to write to <path>").
class TIniFile {
public:
    explicit TIniFile(QString path);

    const QString& FileName() const { return path_; }

    // Strings: at most 2,047 characters; present-but-empty reads as "", absent as def.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or "0x"/"0X" hexadecimal when longer than 2 characters; else def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Read as an integer: non-zero is true; absent, empty or not a number gives def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    // ReadBool for many keys of one section with a single read of the file.
    std::vector<bool> ReadBools(const QString& section, const QStringList& keys, bool def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value); // "1" / "0"
    // WriteBool for many keys of one section with a single rewrite of the file (as many
    // WriteBool calls would leave it).
    void WriteBools(const QString& section, const QStringList& keys, bool value);

    // The pure operations on the file's bytes that the members above are built on.
    // Longest string a read returns.
    static constexpr int MaxStringLength = 2047;
    // The value of section/key in the file's bytes (not yet cut), or nullopt when absent.
    static std::optional<QString> FindValue(const QByteArray& text, const QString& section,
                                            const QString& key);
    // The file's bytes with section/key set to value; every other line is kept as it is.
    static QByteArray WithValue(const QByteArray& text, const QString& section, const QString& key,
                                const QString& value);
    // The same for many keys of one section at once; a key given twice takes its last value.
    static QByteArray WithValues(const QByteArray& text, const QString& section,
                                 const std::vector<std::pair<QString, QString>>& values);
    // Integer conventions of the file: decimal, "0x" hexadecimal, anything else gives def.
    static int ParseInteger(const QString& text, int def);
    // A key as the file matches it, letter case folded: two names with the same one
    // share a key.
    static std::string FoldedKey(const QString& name);

private:
    QByteArray ReadBytes() const;
    // Reads the file, changes its bytes and writes them back whole (unless unchanged).
    void Rewrite(const std::function<QByteArray(const QByteArray&)>& change);
    std::optional<QString> Lookup(const QString& section, const QString& key) const;

    static constexpr qsizetype kMaxKeptAnswers = 256;

    QString path_;
    QByteArray encodedPath_;
    // Reports changes to the file, so that most reads need not look at it.
    std::unique_ptr<FileChangeWatch> watch_;
    // The bytes of the last read, current while the watch reports no change (watched_),
    // else while the file keeps the stamp it had then (only once it had settled).
    mutable bool watched_ = false;
    mutable std::optional<FileStamp> lastStamp_;
    mutable QByteArray lastBytes_;
    // Answers found in those bytes, by section and key as asked.
    mutable QHash<QString, std::optional<QString>> found_;
};

} // namespace pw::platform
