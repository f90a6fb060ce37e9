#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace pw::comics {

// One stored strip: <ComicName><YYYYMMDD>.<ext> in <Dir><ComicName>/.
class TComicStrip {
public:
    // Nullopt when the name is shorter than 12 characters or its last 12 characters do
    // not hold a valid date (YYYYMMDD followed by any 4 characters).
    static std::optional<TComicStrip> FromFileName(const QString& fileName, const QString& dir);

    QString FileName;
    QDate Date;
    QString ComicName;

    // <Dir><ComicName>/<FileName>; Dir ends in "/".
    QString StripPath() const;

private:
    QString dir_;
};

} // namespace pw::comics
