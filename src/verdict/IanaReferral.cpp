#include "IanaReferral.h"

#include "platform/Clock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace zandrel {

namespace {

constexpr qsizetype MaxHostLength = 253;
// An answer for one TLD is a few kilobytes; the `whois:` line sits near its top.
constexpr qsizetype MaxScannedChars = 64 * 1024;
// The file holds a line per TLD ever referred; a larger one is not ours.
constexpr qint64 MaxFileBytes = 1024 * 1024;
const QString FileName = QStringLiteral("whois-referrals.tsv");
const QString NoHost = QStringLiteral("-");

bool isHostName(const QString &host)
{
    static const QRegularExpression label(QStringLiteral("^[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?$"));
    if (host.isEmpty() || host.size() > MaxHostLength)
        return false;
    const QStringList labels = host.split(u'.');
    for (const QString &part : labels) {
        if (!label.match(part).hasMatch())
            return false;
    }
    return true;
}

bool isTld(const QString &tld)
{
    return !tld.contains(u'.') && isHostName(tld);
}

} // namespace

std::optional<QString> parseIanaWhoisServer(const QString &answer)
{
    static const QRegularExpression whoisLine(QStringLiteral("^whois:[ \\t]*([^\\r\\n]*)"),
                                              QRegularExpression::MultilineOption
                                                  | QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = whoisLine.match(answer.left(MaxScannedChars));
    if (!match.hasMatch())
        return std::nullopt;
    QString host = match.captured(1).trimmed().toLower();
    if (host.endsWith(u'.'))
        host.chop(1);
    if (!isHostName(host))
        return std::nullopt;
    return host;
}

ReferralCache::ReferralCache(const Clock &clock, const QString &folder)
    : m_clock(clock)
    , m_folder(folder)
{
    load();
}

QString ReferralCache::filePath() const
{
    return m_folder + u'/' + FileName;
}

std::optional<QString> ReferralCache::server(const QString &tld) const
{
    const auto it = m_entries.constFind(tld);
    if (it == m_entries.cend() || !fresh(*it))
        return std::nullopt;
    return it->host;
}

Result<void> ReferralCache::insert(const QString &tld, const QString &host)
{
    if (!isTld(tld) || (!host.isEmpty() && !isHostName(host)))
        return Error(QStringLiteral("'%1' is not a TLD served by '%2'").arg(tld, host));
    m_entries.insert(tld, {host, m_clock.nowUtc()});
    return save();
}

bool ReferralCache::fresh(const Entry &entry) const
{
    // A stamp in the future comes from a clock that was wrong; trust it no more than an old one.
    const qint64 age = entry.stamped.secsTo(m_clock.now());
    return age >= 0 && age <= MaxAgeSecs;
}

Result<void> ReferralCache::save() const
{
    if (!QDir().mkpath(m_folder))
        return Error(QStringLiteral("cannot make the folder %1").arg(m_folder));
    QByteArray bytes;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (!fresh(*it))
            continue;
        const QString host = it->host.isEmpty() ? NoHost : it->host;
        bytes += (it.key() + u'\t' + host + u'\t' + it->stamped.toString(Qt::ISODate) + u'\n').toUtf8();
    }
    QSaveFile file(filePath());
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return {};
    const Error error(file.errorString());
    file.cancelWriting();
    return error;
}

void ReferralCache::load()
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return;
    const QString text = QString::fromUtf8(file.readAll());
    QHash<QString, Entry> entries;
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList columns = line.split(u'\t');
        if (columns.size() != 3)
            return;
        const QString &tld = columns[0];
        const QString host = columns[1] == NoHost ? QString() : columns[1];
        const QDateTime stamped = QDateTime::fromString(columns[2], Qt::ISODate);
        if (!isTld(tld) || (!host.isEmpty() && !isHostName(host)) || !stamped.isValid())
            return;
        entries.insert(tld, {host, stamped});
    }
    m_entries = entries;
}

} // namespace zandrel
