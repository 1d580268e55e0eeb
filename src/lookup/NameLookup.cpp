#include "NameLookup.h"

#include "verdict/RdapVerdict.h"

namespace zandrel {

NameLookup::NameLookup(LookupPlan plan, Router &router, QObject *parent)
    : QObject(parent)
    , m_plan(std::move(plan))
    , m_router(router)
{ }

NameLookup::~NameLookup() = default;

void NameLookup::start()
{
    if (m_started)
        return;
    m_started = true;
    switch (m_plan.via) {
    case LookupPlan::Via::Whois:
        m_client = std::make_unique<TcpClient>();
        m_whois = std::make_unique<WhoisLookup>(*m_client);
        m_whois->setLimits(m_router.settings().limits);
        m_whois->setServer(m_plan.server);
        connect(m_whois.get(), &WhoisLookup::responseText, this, &NameLookup::show);
        connect(m_whois.get(), &WhoisLookup::lookupEnded, this, &NameLookup::end);
        m_whois->start(m_plan.queryLine);
        return;
    case LookupPlan::Via::Rdap:
        m_rdap = std::make_unique<RdapLookup>(m_router.network(), m_router.clock());
        m_rdap->setLimits(m_router.settings().limits);
        m_rdap->setBase(m_plan.rdapBase);
        connect(m_rdap.get(), &RdapLookup::responseText, this, &NameLookup::show);
        connect(m_rdap.get(), &RdapLookup::lookupEnded, this, &NameLookup::end);
        m_rdap->start(m_plan.ace);
        return;
    case LookupPlan::Via::None:
        // Asks no server: its lines say why, and its end comes once the caller has returned.
        QMetaObject::invokeMethod(
            this,
            [this] {
                show(m_plan.unaskedLines);
                end();
            },
            Qt::QueuedConnection);
        return;
    }
}

void NameLookup::abandon(const QString &why)
{
    if (m_finished)
        return;
    m_abandoned = true;
    if (m_whois && m_whois->inProgress())
        m_whois->abandon(why);
    else if (m_rdap && m_rdap->inProgress())
        m_rdap->abandon(why);
    else {
        show(QStringLiteral("\r\n") + why + QStringLiteral("\r\n"));
        end();
    }
}

void NameLookup::show(const QString &piece)
{
    if (piece.isEmpty())
        return;
    m_shown += piece;
    emit text(piece);
}

QString NameLookup::answer() const
{
    if (m_whois)
        return m_whois->answer();
    if (m_rdap && m_rdap->lastEnd().status > 0) {
        QString lines;
        for (const QString &line : readRdapAnswer(m_rdap->lastEnd(), m_plan.ace).lines)
            lines += line + QStringLiteral("\r\n");
        return lines;
    }
    return {};
}

void NameLookup::end()
{
    if (m_finished)
        return;
    m_finished = true;
    judge();
    emit finished();
}

// The verdict from this lookup's own answer and the rules of its TLD.
void NameLookup::judge()
{
    Verdict verdict = decideVerdict({}, m_plan.ace, m_plan.rules, m_plan.unasked);
    // Why an answer that reads free cannot make the name free, from a server that is not its registry.
    QString notFree;
    if (m_rdap) {
        const RdapEnd &end = m_rdap->lastEnd();
        verdict = rdapVerdict(end, m_plan.ace, m_plan.authority, m_plan.rdapBase, &notFree);
        // A server's Retry-After holds it off at least that long, on top of the back-off.
        m_limited = verdict.reason == reason::RateLimited || end.failed;
        m_countsForBackOff = m_limited || (end.status > 0 && !end.cutOff);
        m_retryAfterMs = end.retryAfterSeconds.value_or(0) * 1000;
    } else if (m_whois) {
        const LookupEnd end = m_whois->endedHow();
        verdict = decideVerdict(m_whois->answer(), m_plan.ace, m_plan.rules, end, m_plan.authority, &notFree);
        m_limited = verdict.reason == reason::RateLimited || end == LookupEnd::ConnectionFailed;
        m_countsForBackOff = m_limited || end == LookupEnd::Answered;
    }
    if (!notFree.isEmpty() && m_plan.judged)
        show(notFree + QStringLiteral("\r\n"));
    if (m_plan.unregistrable)
        verdict = {VerdictKind::NotRegistrable, *m_plan.unregistrable};
    m_record = {};
    m_record.name = m_plan.name;
    m_record.judged = m_plan.judged;
    m_record.verdict = m_plan.judged ? verdict : Verdict {VerdictKind::Unknown, {}};
    m_record.server = m_plan.recordServer;
}

} // namespace zandrel
