#include "NameLookup.h"

#include "verdict/RdapAnswer.h"

#include "verdict/RdapVerdict.h"
#include "verdict/Stage.h"

namespace zandrel {

NameLookup::NameLookup(LookupPlan plan, Router &router, const QString &shownBefore, QObject *parent)
    : Job(parent)
    , m_plan(std::move(plan))
    , m_router(router)
    , m_shown(shownBefore)
{ }

NameLookup::~NameLookup() = default;

void NameLookup::doStart()
{
    switch (m_plan.via) {
    case LookupPlan::Via::Whois:
        m_whois = std::make_unique<WhoisLookup>(m_router.clock());
        m_whois->setServer(m_plan.server);
        m_whois->setQuery(m_plan.queryLine);
        startLookup(*m_whois);
        return;
    case LookupPlan::Via::Rdap:
        m_rdap = std::make_unique<RdapLookup>(m_router.network(), m_router.clock());
        m_rdap->setBase(m_plan.rdapBase);
        m_rdap->setName(m_plan.ace);
        startLookup(*m_rdap);
        return;
    case LookupPlan::Via::Referral: // planned again once the referral is in: never started
    case LookupPlan::Via::None:
        // Asks no server: its lines say why.
        show(m_plan.unaskedLines);
        ended();
        return;
    }
}

// The WHOIS or RDAP lookup this one owns: its limits, its text shown, its end heard.
void NameLookup::startLookup(LookupJob &lookup)
{
    lookup.setAutoDelete(false);
    lookup.setLimits(m_router.settings().limits);
    connect(&lookup, &LookupJob::responseText, this, &NameLookup::show);
    connect(&lookup, &Job::result, this, &NameLookup::ended);
    lookup.start();
}

void NameLookup::doKill()
{
    if (m_whois)
        m_whois->kill();
    if (m_rdap)
        m_rdap->kill();
}

void NameLookup::abandon(const QString &why)
{
    if (isFinished())
        return;
    m_abandoned = true;
    if (m_whois && m_whois->inProgress())
        m_whois->abandon(why);
    else if (m_rdap && m_rdap->inProgress())
        m_rdap->abandon(why);
    else {
        show(QStringLiteral("\r\n") + why + QStringLiteral("\r\n"));
        ended();
    }
}

void NameLookup::show(const QString &piece)
{
    if (piece.isEmpty())
        return;
    m_shown += piece;
    emit text(piece);
}

// Decoding or reading the answer costs a pass over up to the size limit: it is done once, at the end.
QString NameLookup::readAnswer() const
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

void NameLookup::ended()
{
    m_answer = readAnswer();
    judge();
    // A registry whose port 43 cannot be reached is asked over RDAP instead, where it has a service.
    // The record stands for the name should the run stop before that lookup.
    if (m_whois && !m_abandoned && m_plan.rdapFallback
        && m_whois->endedHow() == LookupEnd::ConnectionFailed) {
        const QString base = m_router.rdapBaseFor(m_plan.ace);
        if (!base.isEmpty()) {
            LookupPlan rdap = m_plan;
            rdap.via = LookupPlan::Via::Rdap;
            rdap.rdapFallback = false;
            rdap.fromFallback = true;
            rdap.rdapBase = base;
            rdap.recordServer = base;
            rdap.serverKey = rdapServerKey(base);
            m_fallback = std::move(rdap);
            show(QStringLiteral("Asking the RDAP service %1 instead.\r\n").arg(base));
            // A port that is shut is no limit: the server is not held off for it.
            m_countsForBackOff = false;
            m_limited = false;
            m_refused = false;
        }
    }
    emitResult();
}

// The verdict from this lookup's own answer and the rules of its TLD.
void NameLookup::judge()
{
    Verdict verdict = decideVerdict({}, m_plan.ace, m_plan.rules, m_plan.unasked);
    QString detail;
    if (m_rdap) {
        const RdapEnd &end = m_rdap->lastEnd();
        // A fallback from the registry's own WHOIS server reaches the registry's own RDAP service.
        const Authority authority = m_plan.fromFallback ? Authority {} : m_plan.authority;
        verdict = rdapVerdict(end, m_plan.ace, authority, m_plan.rdapBase);
        const bool failed = end.how == RdapEnd::How::Failed;
        if (failed || end.how == RdapEnd::How::CutOff) {
            detail = end.failure;
        } else if (end.status >= 300 || verdict.kind == VerdictKind::Unknown) {
            // The status, and what was wrong with an answer that came (a web page, another domain).
            detail = QStringLiteral("HTTP %1").arg(end.status);
            const QStringList lines = readRdapAnswer(end, m_plan.ace).lines;
            if (lines.size() > 1 && lines.constLast().size() > 1)
                detail += QStringLiteral(": ") + lines.constLast().at(0).toLower()
                    + lines.constLast().mid(1).chopped(lines.constLast().endsWith(u'.') ? 1 : 0);
        }
        // A server's Retry-After holds it off at least that long, on top of the back-off.
        m_limited = verdict.reason == UnknownReason::RateLimited || failed;
        m_countsForBackOff = m_limited || (end.status > 0 && end.how != RdapEnd::How::CutOff);
        m_retryAfterMs = end.retryAfterSeconds.value_or(0) * 1000;
        m_rateLimited = verdict.reason == UnknownReason::RateLimited || end.status == 503;
        m_refused = failed;
        m_cutShort = end.how == RdapEnd::How::CutOff;
    } else if (m_whois) {
        const LookupEnd end = m_whois->endedHow();
        verdict = decideVerdict(m_answer, m_plan.ace, m_plan.rules, end, m_plan.authority);
        detail = m_whois->failure();
        m_limited = verdict.reason == UnknownReason::RateLimited || end == LookupEnd::ConnectionFailed;
        m_countsForBackOff = m_limited || end == LookupEnd::Answered;
        m_rateLimited = verdict.reason == UnknownReason::RateLimited;
        m_refused = end == LookupEnd::ConnectionFailed;
        m_cutShort = end == LookupEnd::CutOff;
    }
    // Why an answer that reads free cannot make the name free, from a server that is not its registry.
    const QString notFree = verdict.kind == VerdictKind::Unknown ? verdict.why : QString();
    VerdictDetails details;
    if (m_whois || m_rdap) {
        const Authority authority = m_plan.fromFallback && m_rdap ? Authority {} : m_plan.authority;
        Reading reading
            = readBeyond(verdict, m_answer, m_plan.ace, m_plan.rules, authority,
                         m_router.clock().nowUtc().date(), m_rdap ? AnswerForm::Rdap : AnswerForm::Whois);
        verdict = reading.verdict;
        details = std::move(reading.details);
    }
    if (m_plan.via == LookupPlan::Via::None && m_plan.noService) {
        verdict = Verdict::unknown(UnknownReason::NoService);
        detail = m_plan.unaskedLines.section(QStringLiteral("\r\n"), -2, -2);
        detail = detail.isEmpty() ? detail : detail.at(0).toLower() + detail.mid(1);
    }
    if (!notFree.isEmpty() && m_plan.judged) {
        show(notFree + QStringLiteral("\r\n"));
        detail = notFree;
    }
    if (m_plan.unregistrable)
        verdict = Verdict::notRegistrable(*m_plan.unregistrable);
    m_record = {};
    m_record.name = m_plan.name;
    m_record.judged = m_plan.judged;
    m_record.verdict = m_plan.judged ? verdict : Verdict {};
    m_record.server = m_plan.recordServer;
    if (m_plan.judged && !m_plan.unregistrable)
        m_record.details = std::move(details);
    if (m_record.verdict.kind == VerdictKind::Unknown)
        m_record.detail = detail;
}

} // namespace zandrel
