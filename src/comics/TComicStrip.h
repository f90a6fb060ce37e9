#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <string_view>

namespace pw::comics {

// What the end of a strip file name holds: <YYYYMMDD>.<ext> for the first strip of a day,
// <YYYYMMDD>-<n>.<ext> for its n-th (n from 2, no leading zero, at most four digits).
// ".<ext>" stands for any four characters. The two forms cannot be read the other way
// round: the old form has eight digits where the other has its "-".
struct StripNameTail {
    static constexpr int kMaxOrdinal = 9999;

    int Year = 0, Month = 0, Day = 0;
    int Ordinal = 1;
    std::size_t Length = 0; // characters of the tail, the extension included

    // Nullopt when `name` does not end in either form (the date is not checked).
    template <typename Char> static std::optional<StripNameTail> Of(std::basic_string_view<Char> name);
};

// One stored strip: <ComicName><YYYYMMDD>.<ext> (the first of its day) or
// <ComicName><YYYYMMDD>-<n>.<ext> (the n-th) in <Dir><ComicName>/.
class TComicStrip {
public:
    // Nullopt when the name ends in neither form or its date is no valid date.
    static std::optional<TComicStrip> FromFileName(const QString& fileName, const QString& dir);

    // The order of strips: by date, then by ordinal, the order they were published in.
    static qint64 OrderOf(int yyyymmdd, int ordinal) { return qint64{yyyymmdd} * 10000 + ordinal; }
    qint64 Order() const { return OrderOf(Date.year() * 10000 + Date.month() * 100 + Date.day(), Ordinal); }

    QString FileName;
    QDate Date;
    int Ordinal = 1; // 1 for the first strip of its day
    QString ComicName;

    // <Dir><ComicName>/<FileName>; Dir ends in "/".
    QString StripPath() const;

private:
    QString dir_;
};

template <typename Char> std::optional<StripNameTail> StripNameTail::Of(std::basic_string_view<Char> name)
{
    const std::size_t length = name.size();
    auto digits = [&](std::size_t from, std::size_t count) {
        int value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (name[i] < Char('0') || name[i] > Char('9'))
                return -1;
            value = value * 10 + static_cast<int>(name[i] - Char('0'));
        }
        return value;
    };
    if (length < 12)
        return std::nullopt;
    StripNameTail tail;
    std::size_t date = length - 12;
    if (digits(date, 8) < 0) {
        // <date>-<n>: the ordinal's digits right before the extension.
        std::size_t count = 0;
        while (count < 5 && count + 4 < length && digits(length - 5 - count, 1) >= 0)
            ++count;
        if (count == 0 || count > 4 || length < 13 + count || name[length - 5 - count] != Char('-') ||
            name[length - 4 - count] == Char('0'))
            return std::nullopt;
        tail.Ordinal = digits(length - 4 - count, count);
        date = length - 13 - count;
        if (tail.Ordinal < 2 || digits(date, 8) < 0)
            return std::nullopt;
    }
    tail.Year = digits(date, 4);
    tail.Month = digits(date + 4, 2);
    tail.Day = digits(date + 6, 2);
    tail.Length = length - date;
    return tail;
}

} // namespace pw::comics
