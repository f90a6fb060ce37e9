#pragma once

#include <QString>

namespace pw::platform {

// The configuration file (private-profile semantics). Holds only its path: every read
// goes to the file, every write changes one key in the file at once (through a
// temporary file and a rename, keeping the other lines, their order and CR LF endings).
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

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value); // "1" / "0"

private:
    QString path_;
};

} // namespace pw::platform
