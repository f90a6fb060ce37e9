// Parses and rewrites arbitrary configuration files: nothing may crash, the written key
// must read back, every other line must survive byte for byte, and every other key must
// read as before.
#include "platform/IniFile.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <vector>

using pw::platform::TIniFile;

namespace {

struct Line {
    QByteArray text;
    QByteArray ending;
    bool operator==(const Line&) const = default;
};

std::vector<Line> Lines(const QByteArray& b)
{
    std::vector<Line> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (b[i] != '\r' && b[i] != '\n')
            continue;
        const qsizetype n = (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n') ? 2 : 1;
        out.push_back({b.mid(start, i - start), b.mid(i, n)});
        i += n - 1;
        start = i + 1;
    }
    if (start < b.size())
        out.push_back({b.mid(start), {}});
    return out;
}

// A name as the file matches it: one line, outer blanks off, case folded.
QString Norm(const QString& name)
{
    QByteArray b = name.toLocal8Bit().replace('\r', ' ').replace('\n', ' ');
    while (!b.isEmpty() && (b.front() == ' ' || b.front() == '\t'))
        b.remove(0, 1);
    while (!b.isEmpty() && (b.back() == ' ' || b.back() == '\t'))
        b.chop(1);
    return QString::fromLocal8Bit(b).toCaseFolded();
}

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// Every line of `before` is in `after`, in order; `after` has at most three lines more
// (a blank line, a section header and the key), or exactly one changed line whose text
// up to its "=" is the old one's.
void CheckLinesKept(const QByteArray& before, const QByteArray& after)
{
    const std::vector<Line> a = Lines(before);
    const std::vector<Line> b = Lines(after);
    if (a.size() == b.size()) {
        int changed = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] == b[i])
                continue;
            ++changed;
            const qsizetype eq = a[i].text.indexOf('=');
            Check(eq >= 0 && b[i].text.left(eq + 1) == a[i].text.left(eq + 1) && a[i].ending == b[i].ending);
        }
        Check(changed <= 1);
        return;
    }
    size_t j = 0;
    int endingsAdded = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        while (j < b.size() && !(a[i] == b[j]) && !(a[i].ending.isEmpty() && a[i].text == b[j].text))
            ++j;
        Check(j < b.size());
        if (!(a[i] == b[j]))
            ++endingsAdded;
        ++j;
    }
    Check(endingsAdded <= 1);
    Check(b.size() <= a.size() + 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    const QString fromData =
        QString::fromLocal8Bit(text.left(text.indexOf('\n') < 0 ? 12 : text.indexOf('\n')).left(24));
    const QStringList sections = {"Comics", "comics", " Window ", "[x]", "", fromData, "A\nB"};
    const QStringList keys = {"CurrentComic", "DILBERT", "", "[k]", "a b", fromData};
    const QStringList values = {"", "1", "  padded ", "\"q\"", "x=y;z", fromData};

    const QString& section = sections[data[0] % sections.size()];
    const QString& key = keys[(data[0] / 7) % keys.size()];
    const QString& value = values[(data[0] / 42) % values.size()];

    std::vector<std::optional<QString>> probesBefore;
    for (const QString& s : sections)
        for (const QString& k : keys)
            probesBefore.push_back(TIniFile::FindValue(text, s, k));
    (void)TIniFile::ParseInteger(fromData, 0);

    const QByteArray after = TIniFile::WithValue(text, section, key, value);
    CheckLinesKept(text, after);

    QString expected = value;
    expected.replace('\r', ' ').replace('\n', ' ');
    const auto readBack = TIniFile::FindValue(after, section, key);
    // A name holding "=" cannot round-trip; everything else must.
    if (!key.contains('=') && QString::fromLocal8Bit(expected.toLocal8Bit()) == expected)
        Check(readBack && *readBack == expected);

    // Keys other than the written one read exactly as before.
    size_t p = 0;
    for (const QString& s : sections) {
        for (const QString& k : keys) {
            const auto now = TIniFile::FindValue(after, s, k);
            const bool same = Norm(s) == Norm(section) && Norm(k) == Norm(key);
            if (!same && !key.contains('=') && !k.contains('='))
                Check(now == probesBefore[p]);
            ++p;
        }
    }
    return 0;
}
