#pragma once

#include "LookupJob.h"
#include "platform/Result.h"

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace zandrel {

class Clock;

// IANA's registry of RDAP services for domain names: which base URL serves which TLD (or longer
// suffix).
class RdapBootstrap
{
public:
    // Reads a bootstrap file; an error saying what was wrong when it does not parse (too large, too
    // deep, not of the file's shape, no usable entry).
    static Result<RdapBootstrap> parse(const QByteArray &json);

    // The base URL for `aceName` by the longest entry that matches its last labels, an https URL
    // before an http one; empty when no entry matches.
    QString baseFor(const QString &aceName) const;

    const QDateTime &publication() const { return m_publication; }
    qsizetype size() const { return m_bases.size(); }
    // The TLDs and suffixes it names a service for.
    QStringList entries() const { return m_bases.keys(); }

private:
    QHash<QString, QString> m_bases; // entry ("com", "co.uk") -> base URL
    QDateTime m_publication;
    int m_longestEntry = 0; // in labels
};

// The bootstrap in use: the copy compiled into the program, or the copy refreshed into the cache
// folder when that one is newer. It is refreshed from the source URL only when asked, which the
// caller does right before an RDAP route is used, and only when the cached copy is missing or a week
// old; never more than once a run, and not within an hour of a refresh that failed.
class RdapBootstrapCache
{
public:
    // The cached copy is kept in `folder`.
    RdapBootstrapCache(QNetworkAccessManager &network, const Clock &clock, const QString &folder);
    ~RdapBootstrapCache();

    static QString defaultSourceUrl() { return QStringLiteral("https://data.iana.org/rdap/dns.json"); }
    void setSourceUrl(const QString &url) { m_sourceUrl = url; }
    void setLimits(const LookupLimits &limits) { m_limits = limits; }

    // The routes in use (loaded on first use); empty when no copy parses.
    const RdapBootstrap &bootstrap();

    // Fetches a fresh copy when the cached one is missing or older than a week, then uses the newer
    // of it and the copy compiled in. A copy that does not parse is not kept. Returns the refresh
    // under way (a job, started: its result tells when it has ended), or null when none is needed.
    Job *refreshIfStale();

    // What went wrong last, for the response box or the status bar; empty when all was well.
    const QString &message() const { return m_message; }

    QString cacheFile() const;
    // Marks a failed refresh, so that runs within the next hour use the copies at hand.
    QString failureStamp() const;
    static constexpr qint64 MaxAgeSeconds = 7 * 24 * 3600;
    static constexpr qint64 RetryAfterFailureSeconds = 3600;

private:
    class Refresh;
    void load();
    void store(const QByteArray &body);
    void fail(const QString &url, const QString &why);

    QNetworkAccessManager &m_network;
    const Clock &m_clock;
    QString m_folder;
    QString m_sourceUrl = defaultSourceUrl();
    LookupLimits m_limits;
    RdapBootstrap m_bootstrap;
    QString m_message;
    bool m_loaded = false;
    bool m_refreshTried = false;
    QPointer<Job> m_refresh;
};

} // namespace zandrel
