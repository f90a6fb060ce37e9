#include "platform/IniFile.h"

#include "platform/Exception.h"
#include "platform/FileStamp.h"
#include "platform/FolderLock.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pw::platform {

namespace {

// One line of the file: where its text lies and how many bytes end it (0, 1 or 2).
struct Line {
    qsizetype begin = 0;
    qsizetype length = 0;
    qsizetype endingLength = 0;
};

// Lines end in CR LF, LF or a lone CR; every byte belongs to exactly one line, so the
// file can be put back together unchanged.
std::vector<Line> SplitLines(std::string_view text)
{
    std::vector<Line> lines;
    const auto n = static_cast<qsizetype>(text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[static_cast<size_t>(i)];
        if (c != '\n' && c != '\r')
            continue;
        const qsizetype ending = (c == '\r' && i + 1 < n && text[static_cast<size_t>(i + 1)] == '\n') ? 2 : 1;
        lines.push_back({start, i - start, ending});
        i += ending - 1;
        start = i + 1;
    }
    if (start < n)
        lines.push_back({start, n - start, 0});
    return lines;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view v)
{
    while (!v.empty() && IsBlank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && IsBlank(v.back()))
        v.remove_suffix(1);
    return v;
}

enum class Kind { Other, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;
    std::string_view value;
    size_t equalsAt = 0; // position of "=" in the untrimmed line (keys only)
};

// "[name]" is a section header only when the bracket closes the line, so that a key
// such as "[x]=1" stays a key. Any other line with "=" is a key; the rest is kept as is.
Parsed Classify(std::string_view line)
{
    const std::string_view t = Trimmed(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
        return {Kind::Section, Trimmed(t.substr(1, t.size() - 2)), {}, 0};
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return {};
    return {Kind::Key, Trimmed(line.substr(0, eq)), Trimmed(line.substr(eq + 1)), eq};
}

QString FoldName(std::string_view bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size())).toCaseFolded();
}

// Values are stored trimmed; one pair of double quotes around a value is taken off, so a
// value with outer blanks or outer quotes is written quoted and reads back unchanged.
QString DecodeValue(std::string_view v)
{
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    return QString::fromLocal8Bit(v.data(), static_cast<qsizetype>(v.size()));
}

// Line breaks inside a name or value would split the line and inject other keys.
QByteArray OneLine(const QString& s)
{
    QByteArray bytes = s.toLocal8Bit();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

QByteArray EncodeValue(const QString& value)
{
    const QByteArray bytes = OneLine(value);
    if (bytes.isEmpty())
        return bytes;
    const bool outerBlank = IsBlank(bytes.front()) || IsBlank(bytes.back());
    const bool outerQuotes = bytes.size() >= 2 && bytes.front() == '"' && bytes.back() == '"';
    // "[k]=v]" would read as a section header.
    const bool closesBracket = bytes.back() == ']';
    if (outerBlank || outerQuotes || closesBracket)
        return '"' + bytes + '"';
    return bytes;
}

QByteArray EncodeName(const QString& name)
{
    const QByteArray bytes = OneLine(name);
    const std::string_view t =
        Trimmed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return QByteArray(t.data(), static_cast<qsizetype>(t.size()));
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAscii(std::string_view v)
{
    return std::all_of(v.begin(), v.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A name folded as FoldName folds it, as UTF-8 bytes.
std::string FoldedBytes(std::string_view name)
{
    if (!IsAscii(name))
        return FoldName(name).toStdString();
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    return folded;
}

// A name asked for, matched as it would be written, so that what one writes one can read.
struct Name {
    explicit Name(const QString& name)
        : bytes(EncodeName(name)),
          folded(FoldName(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))),
          ascii(IsAscii(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
    {
    }
    // Plain ASCII on both sides, the usual case, compares without building strings.
    bool Matches(std::string_view other) const
    {
        if (ascii && IsAscii(other)) {
            return other.size() == static_cast<size_t>(bytes.size()) &&
                   std::equal(other.begin(), other.end(), bytes.begin(),
                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
        }
        return FoldName(other) == folded;
    }
    QByteArray bytes;
    QString folded;
    bool ascii;
};

std::string_view View(const QByteArray& text, const Line& line)
{
    return std::string_view(text.constData() + line.begin, static_cast<size_t>(line.length));
}

// Walks the file's lines and tells for each whether it lies in a section named `section`.
template <class Fn>
void ForEachLineInSection(const QByteArray& text, const std::vector<Line>& lines, const Name& section, Fn fn)
{
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Parsed p = Classify(View(text, lines[i]));
        if (p.kind == Kind::Section)
            inSection = section.Matches(p.name);
        if (!fn(i, p, inSection))
            return;
    }
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString CutString(QString s)
{
    if (s.size() <= TIniFile::MaxStringLength)
        return s;
    qsizetype n = TIniFile::MaxStringLength;
    if (s.at(n - 1).isHighSurrogate())
        --n; // never leave half a character
    s.truncate(n);
    return s;
}

} // namespace

TIniFile::TIniFile(QString path)
    : path_(std::move(path)), encodedPath_(QFile::encodeName(path_)),
      watch_(std::make_unique<FileChangeWatch>(encodedPath_))
{
}

QByteArray TIniFile::ReadBytes() const
{
    // Every read must see the file as it is now, but a large update reads some settings
    // per comic, and the file holds a line per chosen comic: unchanged bytes are kept.
    // Where the kernel reports changes, nothing else is asked of the file; elsewhere its
    // stamp is compared.
    if (watch_->Usable()) {
        // Taken at every read, so that no old report is left for a later one.
        const bool changed = watch_->Changed();
        if (watched_ && !changed)
            return lastBytes_;
        watched_ = false;
        lastStamp_.reset();
        lastBytes_.clear();
        found_.clear();
        // Changes from here on are reported: read after the reports were taken.
        watch_->FollowFile();
        QFile file(path_);
        bool known = false;
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            bytes = file.readAll();
            known = file.error() == QFileDevice::NoError;
        } else {
            known = !file.exists(); // absent, as long as nothing is reported
        }
        if (known && watch_->Usable()) {
            watched_ = true;
            lastBytes_ = bytes;
            return bytes;
        }
        if (watch_->Usable())
            return bytes;
    }
    const std::optional<FileStamp> stamp = FileStamp::Of(encodedPath_);
    if (stamp && lastStamp_ && *stamp == *lastStamp_)
        return lastBytes_;
    lastStamp_.reset();
    lastBytes_.clear();
    found_.clear();
    QFile file(path_);
    // Unbuffered: read straight into the result, not through the device's buffer.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    const QByteArray bytes = file.readAll();
    if (stamp && stamp->Settled() && file.error() == QFileDevice::NoError) {
        lastStamp_ = stamp;
        lastBytes_ = bytes;
    }
    return bytes;
}

std::optional<QString> TIniFile::Lookup(const QString& section, const QString& key) const
{
    const QByteArray text = ReadBytes();
    if (!watched_ && !lastStamp_) // bytes not kept: nothing to tie an answer to
        return FindValue(text, section, key);
    // The same few settings are asked for by every job: while the file stays as it was
    // read, the answers are kept too.
    QString asked = section;
    asked += QChar(u'\n');
    asked += key;
    if (const auto it = found_.constFind(asked); it != found_.cend())
        return *it;
    std::optional<QString> value = FindValue(text, section, key);
    if (found_.size() >= kMaxKeptAnswers)
        found_.clear();
    found_.insert(asked, value);
    return value;
}

std::optional<QString> TIniFile::FindValue(const QByteArray& text, const QString& section, const QString& key)
{
    const Name sectionName(section);
    const Name keyName(key);
    // Settings are read often (every job reads some), so outside the section asked for
    // only the "[" that may open a section header are visited; inside it, every line.
    const char* const p = text.constData();
    const auto n = static_cast<size_t>(text.size());
    auto isBreak = [](char c) { return c == '\n' || c == '\r'; };
    auto lineEnd = [&](size_t from) {
        while (from < n && !isBreak(p[from]))
            ++from;
        return from;
    };
    auto nextLine = [&](size_t end) {
        return end + ((end + 1 < n && p[end] == '\r' && p[end + 1] == '\n') ? 2 : 1);
    };
    bool inSection = false;
    size_t pos = 0;
    while (pos < n) {
        size_t begin = pos;
        if (!inSection) {
            const void* bracket = std::memchr(p + pos, '[', n - pos);
            if (!bracket)
                break;
            const auto at = static_cast<size_t>(static_cast<const char*>(bracket) - p);
            begin = at;
            while (begin > 0 && IsBlank(p[begin - 1]))
                --begin;
            if (begin > 0 && !isBreak(p[begin - 1])) {
                pos = at + 1; // inside a line: no header
                continue;
            }
        }
        const size_t end = lineEnd(begin);
        const Parsed parsed = Classify(std::string_view(p + begin, end - begin));
        if (parsed.kind == Kind::Section) {
            inSection = sectionName.Matches(parsed.name);
        } else if (inSection && parsed.kind == Kind::Key && keyName.Matches(parsed.name)) {
            return DecodeValue(parsed.value);
        }
        pos = nextLine(end);
    }
    return std::nullopt;
}

QByteArray TIniFile::WithValue(const QByteArray& text, const QString& section, const QString& key,
                               const QString& value)
{
    return WithValues(text, section, {{key, value}});
}

QByteArray TIniFile::WithValues(const QByteArray& text, const QString& section,
                                const std::vector<std::pair<QString, QString>>& values)
{
    const std::vector<Line> lines =
        SplitLines(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    const Name sectionName(section);

    // The keys to set, each once (a later value wins), in the order first given.
    struct Wanted {
        QByteArray name;
        QByteArray encoded;
        bool present = false;
    };
    std::vector<Wanted> wanted;
    QHash<QString, size_t> byFolded;
    for (const auto& [key, value] : values) {
        const Name keyName(key);
        const auto it = byFolded.constFind(keyName.folded);
        if (it != byFolded.cend()) {
            wanted[*it].encoded = EncodeValue(value);
            continue;
        }
        byFolded.insert(keyName.folded, wanted.size());
        wanted.push_back({keyName.bytes, EncodeValue(value)});
    }

    QByteArray newline = "\r\n";
    for (const Line& l : lines) {
        if (l.endingLength > 0) {
            newline = text.mid(l.begin + l.length, l.endingLength);
            break;
        }
    }

    // The lines to change (the first of each key in the section), and the line after
    // which new keys go.
    QHash<size_t, size_t> replaceAt; // line -> wanted
    std::optional<size_t> insertAfter;
    bool seenSection = false;
    bool firstSectionOpen = false;
    ForEachLineInSection(text, lines, sectionName, [&](size_t i, const Parsed& p, bool inSection) {
        if (p.kind == Kind::Section) {
            firstSectionOpen = inSection && !seenSection;
            if (inSection && !seenSection) {
                seenSection = true;
                insertAfter = i;
            }
            return true;
        }
        if (!inSection)
            return true;
        if (p.kind == Kind::Key) {
            const auto it = byFolded.constFind(FoldName(p.name));
            if (it != byFolded.cend() && !wanted[*it].present) {
                wanted[*it].present = true;
                replaceAt.insert(i, *it);
            }
        }
        // New keys go after the last non-blank line of the first such section.
        if (firstSectionOpen && !Trimmed(View(text, lines[i])).empty())
            insertAfter = i;
        return true;
    });

    QByteArray out;
    out.reserve(text.size() + 64);
    auto appendLine = [&](size_t i) {
        out.append(text.constData() + lines[i].begin, lines[i].length + lines[i].endingLength);
    };
    auto endLine = [&](size_t i) {
        if (lines[i].endingLength == 0)
            out.append(newline);
    };
    // New lines take the ending of the line they follow: after a lone CR, an LF would
    // only complete that line's ending instead of ending the new line.
    auto endingAfter = [&](size_t i) {
        return lines[i].endingLength > 0 ? text.mid(lines[i].begin + lines[i].length, lines[i].endingLength)
                                         : newline;
    };
    auto appendNewKeys = [&](const QByteArray& ending) {
        for (const Wanted& w : wanted)
            if (!w.present)
                out.append(w.name + '=' + w.encoded + ending);
    };
    const bool anyNew = std::any_of(wanted.begin(), wanted.end(), [](const Wanted& w) { return !w.present; });

    if (insertAfter || !anyNew) {
        for (size_t i = 0; i < lines.size(); ++i) {
            const auto replace = replaceAt.constFind(i);
            if (replace == replaceAt.cend()) {
                appendLine(i);
            } else {
                const Parsed p = Classify(View(text, lines[i]));
                out.append(text.constData() + lines[i].begin, static_cast<qsizetype>(p.equalsAt) + 1);
                out.append(wanted[*replace].encoded);
                out.append(text.constData() + lines[i].begin + lines[i].length, lines[i].endingLength);
            }
            if (anyNew && i == *insertAfter) {
                endLine(i);
                appendNewKeys(endingAfter(*insertAfter));
            }
        }
        return out;
    }

    out = text;
    QByteArray ending = newline;
    if (!lines.empty()) {
        ending = endingAfter(lines.size() - 1);
        endLine(lines.size() - 1);
        if (!Trimmed(View(text, lines.back())).empty())
            out.append(ending); // a blank line between sections
    }
    out.append('[' + EncodeName(section) + ']' + ending);
    appendNewKeys(ending);
    return out;
}

int TIniFile::ParseInteger(const QString& text, int def)
{
    const QString t = text.trimmed();
    if (t.size() > 2 && (t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X")))) {
        // Up to 32 bits, as the file's writers on other systems store them ("0xFFFFFFFF" is -1).
        std::uint64_t v = 0;
        for (qsizetype i = 2; i < t.size(); ++i) {
            const int digit = HexDigit(t.at(i));
            if (digit < 0)
                return def;
            v = v * 16 + static_cast<std::uint64_t>(digit);
            if (v > 0xFFFFFFFFULL)
                return def;
        }
        return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+'))) {
        negative = t.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == t.size())
        return def;
    std::int64_t v = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t.at(i).unicode();
        if (c < u'0' || c > u'9')
            return def;
        v = v * 10 + (c - u'0');
        if (v > static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1)
            return def;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return def;
    return static_cast<int>(v);
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const std::optional<QString> value = Lookup(section, key);
    return value ? CutString(*value) : def;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    const std::optional<QString> value = Lookup(section, key);
    return value ? ParseInteger(*value, def) : def;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<bool> TIniFile::ReadBools(const QString& section, const QStringList& keys, bool def) const
{
    const QByteArray text = ReadBytes();
    const std::vector<Line> lines =
        SplitLines(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    // Keyed by folded bytes: a catalogue's thousand names are plain ASCII, and folding
    // those needs no strings built.
    std::unordered_map<std::string, std::string_view> values; // first occurrence of each key wins
    values.reserve(static_cast<size_t>(keys.size()));
    ForEachLineInSection(text, lines, Name(section), [&](size_t, const Parsed& p, bool inSection) {
        if (inSection && p.kind == Kind::Key)
            values.try_emplace(FoldedBytes(p.name), p.value);
        return true;
    });
    std::vector<bool> result;
    result.reserve(static_cast<size_t>(keys.size()));
    for (const QString& key : keys) {
        const auto it = values.find(FoldedKey(key));
        result.push_back(it == values.end() ? def : ParseInteger(DecodeValue(it->second), def ? 1 : 0) != 0);
    }
    return result;
}

std::string TIniFile::FoldedKey(const QString& name)
{
    const QByteArray bytes = EncodeName(name);
    return FoldedBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    Rewrite([&](const QByteArray& text) { return WithValue(text, section, key, value); });
}

void TIniFile::WriteBools(const QString& section, const QStringList& keys, bool value)
{
    std::vector<std::pair<QString, QString>> values;
    values.reserve(static_cast<size_t>(keys.size()));
    for (const QString& key : keys)
        values.emplace_back(key, value ? QStringLiteral("1") : QStringLiteral("0"));
    Rewrite([&](const QByteArray& text) { return WithValues(text, section, values); });
}

void TIniFile::Rewrite(const std::function<QByteArray(const QByteArray&)>& change)
{
    const QString failure = QStringLiteral("Unable to write to %1").arg(path_);
    // The window and a batch or add run beside it each change their own keys: the read
    // and the rewrite go together, or one would undo the other's change.
    const FolderLock lock(path_);
    QFile current(path_);
    QByteArray text;
    if (current.open(QIODevice::ReadOnly)) {
        text = current.readAll();
        if (current.error() != QFileDevice::NoError)
            throw Exception(failure);
        current.close();
    } else if (current.exists()) {
        throw Exception(failure); // rewriting a file we cannot read would lose its other keys
    }

    const QByteArray updated = change(text);
    if (current.exists() && updated == text)
        return; // already so: spare the rewrite and its sync (dialogs write every key on OK)
    if (!SafeFile::Write(path_, updated))
        throw Exception(failure);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace pw::platform
