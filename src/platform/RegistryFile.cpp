#include "platform/RegistryFile.h"

#include "platform/TextEscapes.h"

#include <QList>
#include <QStringList>

namespace pw::platform {

namespace {

const QByteArray kHeader = QByteArrayLiteral("Panelwick Registry 1");

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + EscapeText(text, u"\"") + QLatin1Char('"');
}

// Reads a quoted string at pos; moves pos past it. nullopt when it is not one.
std::optional<QString> Unquote(const QString& line, qsizetype& pos)
{
    if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line.at(pos);
        if (c == QLatin1Char('"')) {
            ++pos;
            return out;
        }
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return std::nullopt;
        const QChar code = line.at(pos);
        if (const auto escaped = EscapedChar(code))
            out += *escaped;
        else if (code == QLatin1Char('"'))
            out += code;
        else
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

QString RegistryData::NormalKey(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

RegistryData::Key* RegistryData::Find(const QString& path)
{
    const QString wanted = NormalKey(path);
    for (Key& key : Keys) {
        if (SameName(key.Path, wanted))
            return &key;
    }
    return nullptr;
}

const RegistryData::Key* RegistryData::Find(const QString& path) const
{
    return const_cast<RegistryData*>(this)->Find(path);
}

RegistryData::Key& RegistryData::Make(const QString& path)
{
    const QStringList parts = NormalKey(path).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QString sofar;
    Key* key = nullptr;
    for (const QString& part : parts) {
        sofar = sofar.isEmpty() ? part : sofar + QLatin1Char('\\') + part;
        key = Find(sofar);
        if (!key) {
            Keys.push_back(Key{sofar, {}});
            key = &Keys.back();
        }
    }
    if (!key) { // the root itself: kept as a key without a name
        key = Find(QString());
        if (!key) {
            Keys.push_back(Key{});
            key = &Keys.back();
        }
    }
    return *key;
}

bool RegistryData::Remove(const QString& path)
{
    const QString wanted = NormalKey(path);
    const QString below = wanted + QLatin1Char('\\');
    const auto before = Keys.size();
    std::erase_if(Keys, [&](const Key& key) {
        return SameName(key.Path, wanted) || key.Path.startsWith(below, Qt::CaseInsensitive);
    });
    return Keys.size() != before;
}

const QString* RegistryData::Value(const Key& key, const QString& name)
{
    for (const auto& [n, v] : key.Values) {
        if (SameName(n, name))
            return &v;
    }
    return nullptr;
}

void RegistryData::SetValue(Key& key, const QString& name, const QString& value)
{
    for (auto& [n, v] : key.Values) {
        if (SameName(n, name)) {
            v = value;
            return;
        }
    }
    key.Values.emplace_back(name, value);
}

bool RegistryData::RemoveValue(Key& key, const QString& name)
{
    return std::erase_if(key.Values, [&](const auto& value) { return SameName(value.first, name); }) > 0;
}

std::optional<RegistryData> RegistryFile::Parse(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != kHeader)
        return std::nullopt;
    RegistryData data;
    RegistryData::Key* key = nullptr;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i));
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            key = &data.Make(line.mid(1, line.size() - 2));
            continue;
        }
        qsizetype pos = 0;
        const auto name = Unquote(line, pos);
        if (!name || !key || pos >= line.size() || line.at(pos) != QLatin1Char('='))
            return std::nullopt;
        ++pos;
        const auto value = Unquote(line, pos);
        if (!value || pos != line.size())
            return std::nullopt;
        RegistryData::SetValue(*key, *name, *value);
    }
    return data;
}

QByteArray RegistryFile::Format(const RegistryData& data)
{
    QString out = QString::fromLatin1(kHeader) + QLatin1Char('\n');
    for (const RegistryData::Key& key : data.Keys) {
        out += QLatin1Char('[') + key.Path + QLatin1String("]\n");
        for (const auto& [name, value] : key.Values)
            out += Quoted(name) + QLatin1Char('=') + Quoted(value) + QLatin1Char('\n');
    }
    return out.toUtf8();
}

} // namespace pw::platform
