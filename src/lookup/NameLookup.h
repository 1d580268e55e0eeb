#pragma once

#include "Router.h"
#include "lookup/RdapLookup.h"
#include "lookup/WhoisLookup.h"

#include <QObject>

#include <memory>
#include <optional>

namespace zandrel {

// One planned name asked of its server and judged: a job. The text to show arrives in pieces, then
// result() once. Its time limits are the WHOIS or RDAP lookup's own deadlines. A registry's WHOIS
// server that cannot be reached ends the job with a fallback: the same name planned for the
// registry's RDAP service, which the caller queues for that service like any other lookup.
class NameLookup : public Job
{
    Q_OBJECT
public:
    // `shownBefore`: what an earlier lookup of the same name showed (a fallback's WHOIS attempt).
    NameLookup(LookupPlan plan, Router &router, const QString &shownBefore = {}, QObject *parent = nullptr);
    ~NameLookup() override;

    // Gives the lookup up now, with `why` as its last line; it finishes abandoned.
    void abandon(const QString &why);

    const LookupPlan &plan() const { return m_plan; }
    bool abandoned() const { return m_abandoned; }
    // Everything shown of this lookup so far.
    const QString &shownText() const { return m_shown; }
    // What the server itself sent, as shown: the text the scans read.
    const QString &answer() const { return m_answer; }
    // The verdict and the rest of the record (index and time are the caller's).
    const LookupRecord &record() const { return m_record; }
    // Set when the name is to be asked again of its registry's RDAP service; the record is then
    // the WHOIS attempt's.
    const std::optional<LookupPlan> &fallback() const { return m_fallback; }

    // How the exchange bears on the server's back-off: whether it counts, whether the server
    // limited or refused, and the least wait it asked for.
    bool countsForBackOff() const { return m_countsForBackOff; }
    bool limited() const { return m_limited; }
    qint64 retryAfterMs() const { return m_retryAfterMs; }
    // What the exchange showed of the server's limits: its rate-limit phrase or HTTP 429 or 503; a
    // connection refused, reset or not made; an answer cut short.
    bool rateLimited() const { return m_rateLimited; }
    bool refused() const { return m_refused; }
    bool cutShort() const { return m_cutShort; }

signals:
    void text(const QString &piece);

private:
    void doStart() override;
    void doKill() override;
    void startLookup(LookupJob &lookup);
    QString readAnswer() const;
    void show(const QString &piece);
    void ended();
    void judge();

    LookupPlan m_plan;
    Router &m_router;
    std::unique_ptr<WhoisLookup> m_whois;
    std::unique_ptr<RdapLookup> m_rdap;
    std::optional<LookupPlan> m_fallback;
    QString m_shown;
    QString m_answer; // read once, at the end
    LookupRecord m_record;
    bool m_abandoned = false;
    bool m_countsForBackOff = false;
    bool m_limited = false;
    qint64 m_retryAfterMs = 0;
    bool m_rateLimited = false;
    bool m_refused = false;
    bool m_cutShort = false;
};

} // namespace zandrel
