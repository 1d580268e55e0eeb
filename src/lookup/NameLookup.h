#pragma once

#include "Router.h"
#include "lookup/RdapLookup.h"
#include "lookup/WhoisLookup.h"
#include "platform/TcpClient.h"

#include <QObject>

#include <memory>

namespace zandrel {

// One planned name asked of its server and judged: a job. start() returns at once; the text to
// show arrives in pieces, and finished() comes once, never from inside start(). Its time limits
// are the WHOIS or RDAP lookup's own timers.
class NameLookup : public QObject
{
    Q_OBJECT
public:
    NameLookup(LookupPlan plan, Router &router, QObject *parent = nullptr);
    ~NameLookup() override;

    void start();
    // Gives the lookup up now, with `why` as its last line; it finishes abandoned.
    void abandon(const QString &why);

    const LookupPlan &plan() const { return m_plan; }
    bool isFinished() const { return m_finished; }
    bool abandoned() const { return m_abandoned; }
    // Everything shown of this lookup so far.
    const QString &shownText() const { return m_shown; }
    // What the server itself sent, as shown: the text the scans read.
    QString answer() const;
    // The verdict and the rest of the record (index and time are the caller's).
    const LookupRecord &record() const { return m_record; }

    // How the exchange bears on the server's back-off: whether it counts, whether the server
    // limited or refused, and the least wait it asked for.
    bool countsForBackOff() const { return m_countsForBackOff; }
    bool limited() const { return m_limited; }
    qint64 retryAfterMs() const { return m_retryAfterMs; }

signals:
    void text(const QString &piece);
    void finished();

private:
    void show(const QString &piece);
    void startRdap(const QString &base);
    void end();
    void judge();

    LookupPlan m_plan;
    Router &m_router;
    std::unique_ptr<TcpClient> m_client;
    std::unique_ptr<WhoisLookup> m_whois;
    std::unique_ptr<RdapLookup> m_rdap;
    QString m_shown;
    LookupRecord m_record;
    bool m_started = false;
    bool m_finished = false;
    bool m_abandoned = false;
    bool m_countsForBackOff = false;
    bool m_limited = false;
    qint64 m_retryAfterMs = 0;
};

} // namespace zandrel
