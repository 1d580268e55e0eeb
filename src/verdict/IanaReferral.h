#pragma once

#include "platform/Result.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

namespace zandrel {

class Clock;

// The WHOIS host on the `whois:` line of the IANA server's answer for a TLD; nothing when the line
// is missing, empty or not a plausible host name (the answer is untrusted).
std::optional<QString> parseIanaWhoisServer(const QString &answer);

// Which WHOIS host serves a TLD the built-in table lacks, as IANA said within the last week.
// Kept in a small tab-separated file so a later run need not ask again.
class ReferralCache
{
public:
    static constexpr qint64 MaxAgeSecs = 7 * 24 * 60 * 60;

    // Loads `folder`/whois-referrals.tsv; a missing or damaged file gives an empty cache.
    ReferralCache(const Clock &clock, const QString &folder);
    QString filePath() const;

    // The host for `tld` (lower case, no dot); an empty host when IANA lists none; nothing when
    // unknown or older than a week.
    std::optional<QString> server(const QString &tld) const;
    // Records what IANA said now (an empty host: it lists none) and saves the file.
    Result<void> insert(const QString &tld, const QString &host);
    Result<void> save() const;

private:
    struct Entry
    {
        QString host;
        QDateTime stamped;
    };
    bool fresh(const Entry &entry) const;
    void load();

    const Clock &m_clock;
    QString m_folder;
    QHash<QString, Entry> m_entries;
};

} // namespace zandrel
