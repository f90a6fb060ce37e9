#include "update/TSourceMemory.h"

#include "platform/SafeFile.h"
#include "sources/FeedDate.h"

#include <QFile>

namespace pw::update {

namespace {

constexpr qint64 kMaxFileBytes = 64 * 1024;
constexpr qsizetype kMaxValueChars = 2000;

} // namespace

QString TSourceMemory::PathIn(const QString& comicFolder)
{
    return comicFolder + QStringLiteral("/.source");
}

TSourceMemory TSourceMemory::Load(const QString& path)
{
    TSourceMemory memory;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return memory;
    const QList<QByteArray> lines = f.read(kMaxFileBytes).split('\n');
    for (const QByteArray& raw : lines) {
        const qsizetype eq = raw.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = raw.left(eq);
        const QString value = SafeHeaderValue(QString::fromUtf8(raw.mid(eq + 1)));
        if (key == "ETag")
            memory.ETag = value;
        else if (key == "LastModified")
            memory.LastModified = value;
        else if (key == "Picture")
            memory.Picture = value;
        else if (key == "WaitUntil")
            memory.WaitUntil = QDateTime::fromString(value, Qt::ISODate).toUTC();
    }
    return memory;
}

bool TSourceMemory::Save(const QString& path) const
{
    QByteArray text;
    auto line = [&](const char* key, const QString& value) {
        const QString safe = SafeHeaderValue(value);
        if (!safe.isEmpty())
            text += QByteArray(key) + '=' + safe.toUtf8() + '\n';
    };
    line("ETag", ETag);
    line("LastModified", LastModified);
    line("Picture", Picture);
    if (WaitUntil.isValid())
        line("WaitUntil", WaitUntil.toUTC().toString(Qt::ISODate));
    return platform::SafeFile::Write(path, text);
}

bool TSourceMemory::Waits(const QDateTime& nowUtc) const
{
    return WaitUntil.isValid() && WaitUntil > nowUtc && WaitUntil <= nowUtc.addSecs(kMaxWaitSeconds);
}

QDateTime RetryAfterTime(const QString& value, const QDateTime& nowUtc)
{
    const QString v = value.trimmed();
    bool isNumber = false;
    const qint64 seconds = v.toLongLong(&isNumber);
    QDateTime until;
    if (isNumber && seconds >= 0)
        until = nowUtc.addSecs(qMin(seconds, TSourceMemory::kMaxWaitSeconds));
    else if (const auto date = sources::ParseFeedDate(v))
        until = qMin(date->Utc, nowUtc.addSecs(TSourceMemory::kMaxWaitSeconds));
    return until.isValid() && until > nowUtc ? until.toUTC() : QDateTime();
}

QString SafeHeaderValue(const QString& value)
{
    const QString v = value.trimmed();
    if (v.size() > kMaxValueChars)
        return {};
    for (QChar c : v)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return {};
    return v;
}

} // namespace pw::update
