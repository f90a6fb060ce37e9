#include "platform/AutostartEntry.h"

#include "platform/TextEscapes.h"

#include <QList>

namespace pw::platform {

namespace {

const QLatin1String kGroup("[Desktop Entry]");
const QLatin1String kValueKey("X-Panelwick-Value");
const QLatin1String kRunOnceKey("X-Panelwick-RunOnce");

// The escapes of a desktop entry's string values.
QString Escaped(const QString& text)
{
    QString out = EscapeText(text);
    if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QLatin1String("\\s"));
    return out;
}

QString Unescaped(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const QChar code = text.at(++i);
        if (code == QLatin1Char('s')) {
            out += QLatin1Char(' ');
        } else if (const auto escaped = EscapedChar(code)) {
            out += *escaped;
        } else { // meant for a later step (Exec quoting): kept as it is
            out += QLatin1Char('\\');
            out += code;
        }
    }
    return out;
}

QString ProgramOf(const QString& data)
{
    if (data.size() >= 2 && data.startsWith(QLatin1Char('"')) && data.endsWith(QLatin1Char('"')))
        return data.mid(1, data.size() - 2);
    return data;
}

struct KeyLine {
    QString Key;
    QString Value;
};

// A "key=value" line of the [Desktop Entry] group; nullopt for blank lines, comments,
// group headers and the lines of other groups. inGroup carries the group from line to line.
std::optional<KeyLine> ParseLine(const QByteArray& raw, bool& inGroup)
{
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
        return std::nullopt;
    if (line.startsWith(QLatin1Char('['))) {
        inGroup = line == kGroup;
        return std::nullopt;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (!inGroup || eq < 0)
        return std::nullopt;
    return KeyLine{line.left(eq).trimmed(), line.mid(eq + 1).trimmed()};
}

// The keys a desktop's session settings switch an entry off with, and which of their
// values means off.
struct SwitchKey {
    QLatin1String Key;
    bool OffWhenTrue;
};
const SwitchKey kSwitchKeys[] = {
    {QLatin1String("Hidden"), true},
    {QLatin1String("X-GNOME-Autostart-enabled"), false},
    {QLatin1String("X-MATE-Autostart-enabled"), false},
};

// A boolean as GLib's key files read it.
std::optional<bool> Boolean(const QString& value)
{
    if (value == QLatin1String("true") || value == QLatin1String("1"))
        return true;
    if (value == QLatin1String("false") || value == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// The switch key that turns the entry off on this line, if it does.
const SwitchKey* SwitchingOff(const KeyLine& line)
{
    for (const SwitchKey& s : kSwitchKeys) {
        if (line.Key == s.Key) {
            const std::optional<bool> value = Boolean(line.Value);
            return value && *value == s.OffWhenTrue ? &s : nullptr;
        }
    }
    return nullptr;
}

} // namespace

QString AutostartEntry::FileName(const QString& valueName, bool runOnce)
{
    QString name;
    for (const char c : valueName.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_')
            name += QLatin1Char(c);
        else if (u >= 'A' && u <= 'Z')
            name += QLatin1Char(static_cast<char>(u - 'A' + 'a'));
        else
            name += QStringLiteral("-%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    // Never the program's own desktop file name, which a desktop's autostart settings
    // may have copied here.
    return name + (runOnce ? QLatin1String("-runonce.desktop") : QLatin1String("-autostart.desktop"));
}

QString AutostartEntry::ExecValue(const QString& program)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return Escaped(quoted);
}

std::optional<QString> AutostartEntry::ExecProgram(const QString& execValue)
{
    const QString exec = Unescaped(execValue);
    QString program;
    if (!exec.startsWith(QLatin1Char('"'))) {
        program = exec.section(QLatin1Char(' '), 0, 0);
    } else {
        qsizetype i = 1;
        for (; i < exec.size() && exec.at(i) != QLatin1Char('"'); ++i) {
            if (exec.at(i) == QLatin1Char('\\') && ++i >= exec.size())
                return std::nullopt;
            program += exec.at(i);
        }
        if (i >= exec.size())
            return std::nullopt; // no closing quote
    }
    program.replace(QLatin1String("%%"), QLatin1String("%"));
    return program;
}

QByteArray AutostartEntry::Format(const QString& valueName, const QString& data, bool runOnce)
{
    QString out = kGroup + QLatin1Char('\n');
    out += QLatin1String("Type=Application\n");
    out += QLatin1String("Name=Panelwick\n");
    out += QLatin1String("Comment=Follows web comic strips\n");
    out += QLatin1String("Exec=") + ExecValue(ProgramOf(data)) + QLatin1Char('\n');
    out += QLatin1String("Icon=panelwick\n");
    out += QLatin1String("Terminal=false\n");
    out += kValueKey + QLatin1Char('=') + Escaped(valueName) + QLatin1Char('\n');
    if (runOnce)
        out += kRunOnceKey + QLatin1String("=true\n");
    return out.toUtf8();
}

std::optional<QString> AutostartEntry::Data(const QByteArray& entry, const QString& valueName, bool runOnce)
{
    bool inGroup = false;
    std::optional<QString> name;
    std::optional<QString> exec;
    bool once = false;
    for (const QByteArray& raw : entry.split('\n')) {
        const std::optional<KeyLine> line = ParseLine(raw, inGroup);
        if (!line)
            continue;
        if (line->Key == kValueKey)
            name = Unescaped(line->Value);
        else if (line->Key == QLatin1String("Exec"))
            exec = line->Value;
        else if (line->Key == kRunOnceKey)
            once = line->Value == QLatin1String("true");
    }
    if (!name || !exec || once != runOnce || name->compare(valueName, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const auto program = ExecProgram(*exec);
    if (!program)
        return std::nullopt;
    if (program->isEmpty())
        return QString(); // an empty value: absent
    return QLatin1Char('"') + *program + QLatin1Char('"');
}

bool AutostartEntry::SwitchedOff(const QByteArray& entry)
{
    bool inGroup = false;
    for (const QByteArray& raw : entry.split('\n')) {
        const std::optional<KeyLine> line = ParseLine(raw, inGroup);
        if (line && SwitchingOff(*line))
            return true;
    }
    return false;
}

QByteArray AutostartEntry::Updated(const QByteArray& entry, const QString& data)
{
    QList<QByteArray> lines = entry.split('\n');
    bool inGroup = false;
    for (QByteArray& raw : lines) {
        const std::optional<KeyLine> line = ParseLine(raw, inGroup);
        if (!line)
            continue;
        QString replacement;
        if (line->Key == QLatin1String("Exec")) {
            replacement = QLatin1String("Exec=") + ExecValue(ProgramOf(data));
        } else if (const SwitchKey* off = SwitchingOff(*line)) {
            // The enabled value, as the desktops write a switch-on themselves.
            replacement = line->Key + QLatin1Char('=') +
                          (off->OffWhenTrue ? QLatin1String("false") : QLatin1String("true"));
        } else {
            continue;
        }
        const bool cr = raw.endsWith('\r');
        raw = replacement.toUtf8();
        if (cr)
            raw += '\r';
    }
    return lines.join('\n');
}

} // namespace pw::platform
